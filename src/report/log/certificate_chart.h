#pragma once

// The spectra of an inter-instrument check as a certificate prints them: one small plot per
// angle, reflectance in percent over 400 to 700 nm, the target (reference instrument) drawn
// solid and the sample (instrument under correction) dashed, with a key above the plots.

#include <QPainter>
#include <QRectF>
#include <QString>

#include "core/tiles/set_agreement.h"

namespace qv {

// Paints into `area` (in pixels); `pxPerMm` sizes pens and gaps. Values that are no number
// break the curve rather than the scale.
void paintSpectraChart(QPainter& painter, const QRectF& area, double pxPerMm,
                       const TileSpectra& spectra, const QString& targetName,
                       const QString& sampleName);

// The upper end of a reflectance axis holding `largest` and the step of its ticks: at most
// five steps of 1, 2, 5, 10, 20, 25 or 50 percent, or of a power of ten beyond.
struct AxisScale {
    double top;
    double step;
};
AxisScale reflectanceScale(double largest);

}  // namespace qv
