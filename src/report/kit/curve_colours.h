#pragma once

#include <QColor>

namespace qv {

// The target's and the sample's curves, wherever spectra of a pair are drawn: on screen and on
// paper alike.
inline const QColor kTargetCurveColour(31, 90, 180);
inline const QColor kSampleCurveColour(225, 115, 20);

}  // namespace qv
