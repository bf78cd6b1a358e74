#pragma once

// The colours every window draws its meanings in, chosen by what they mean: one per angle,
// passed, failed, a warning. A chart's threshold and a failed verdict are the same red.

#include <QColor>
#include <QString>

namespace qv::palette {

// 25° blue, 45° orange, 75° green; grey for an index that is no angle.
QColor angle(int angleIndex);
QColor passed();
QColor failed();
QColor warning();
// A verdict's text: bold, green when passed, red when failed.
QString verdictStyle(bool passed);

}  // namespace qv::palette
