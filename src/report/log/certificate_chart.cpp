#include "report/log/certificate_chart.h"

#include <QPainterPath>
#include <algorithm>
#include <array>
#include <cmath>

#include "core/colour/spectrum.h"
#include "report/kit/curve_colours.h"

namespace qv {

namespace {

constexpr double kKeyMm = 6.0;
constexpr double kPanelGapMm = 6.0;
constexpr double kTitleMm = 5.0;
constexpr double kYLabelsMm = 8.0;
constexpr double kXLabelsMm = 5.0;
constexpr double kAxisTextPoints = 7.0;
const QColor kGridColour(0xdd, 0xdd, 0xdd);
const QColor kFrameColour(0x60, 0x60, 0x60);

struct Plot {
    QPainter& p;
    double mm;  // pixels per millimetre
    QRectF frame;
    AxisScale scale;

    QPointF at(double nm, double reflectance) const {
        const double x = (nm - kStartNm) / static_cast<double>(kEndNm - kStartNm);
        const double y = std::clamp(reflectance / scale.top, 0.0, 1.0);
        return {frame.left() + x * frame.width(), frame.bottom() - y * frame.height()};
    }
};

void font(QPainter& p, double points, bool bold = false) {
    QFont f = p.font();
    f.setPointSizeF(points);
    f.setBold(bold);
    p.setFont(f);
}

// The largest reflectance of either curve at one angle, so both fit the same scale.
double largestAt(const TileSpectra& s, int angle) {
    double largest = 0.0;
    for (const AngleSpectrum* curve : {&s.target[angle], &s.sample[angle]})
        for (std::size_t i = 0; i < std::min<std::size_t>(curve->size(), kSpectrumPoints); ++i)
            if (std::isfinite((*curve)[i])) largest = std::max(largest, (*curve)[i]);
    return largest;
}

void axes(const Plot& plot) {
    QPainter& p = plot.p;
    font(p, kAxisTextPoints);
    for (double v = 0.0; v <= plot.scale.top + 1e-9; v += plot.scale.step) {
        const QPointF left = plot.at(kStartNm, v);
        p.setPen(QPen(kGridColour, 0.2 * plot.mm));
        p.drawLine(left, plot.at(kEndNm, v));
        p.setPen(kFrameColour);
        p.drawText(QRectF(left.x() - kYLabelsMm * plot.mm, left.y() - 2 * plot.mm,
                          (kYLabelsMm - 1) * plot.mm, 4 * plot.mm),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(v));
    }
    for (int nm = kStartNm; nm <= kEndNm; nm += 100) {
        const QPointF bottom = plot.at(nm, 0.0);
        p.setPen(QPen(kGridColour, 0.2 * plot.mm));
        p.drawLine(bottom, plot.at(nm, plot.scale.top));
        p.setPen(kFrameColour);
        p.drawText(QRectF(bottom.x() - 6 * plot.mm, bottom.y() + 0.5 * plot.mm, 12 * plot.mm,
                          (kXLabelsMm - 0.5) * plot.mm),
                   Qt::AlignHCenter | Qt::AlignTop, QString::number(nm));
    }
    p.setPen(QPen(kFrameColour, 0.25 * plot.mm));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot.frame);
}

void curve(const Plot& plot, const AngleSpectrum& s, const QColor& colour, Qt::PenStyle style) {
    QPainterPath path;
    bool drawing = false;
    for (std::size_t i = 0; i < std::min<std::size_t>(s.size(), kSpectrumPoints); ++i) {
        if (!std::isfinite(s[i])) {
            drawing = false;
            continue;
        }
        const QPointF point = plot.at(kStartNm + kStepNm * static_cast<double>(i), s[i]);
        if (drawing)
            path.lineTo(point);
        else
            path.moveTo(point);
        drawing = true;
    }
    QPen pen(colour, 0.45 * plot.mm, style);
    pen.setCapStyle(Qt::FlatCap);
    plot.p.setPen(pen);
    plot.p.setBrush(Qt::NoBrush);
    plot.p.drawPath(path);
}

void keyEntry(QPainter& p, double mm, double x, double y, const QColor& colour, Qt::PenStyle style,
              const QString& text) {
    QPen pen(colour, 0.45 * mm, style);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(QPointF(x, y + kKeyMm * mm / 2), QPointF(x + 8 * mm, y + kKeyMm * mm / 2));
    p.setPen(Qt::black);
    p.drawText(QRectF(x + 10 * mm, y, 70 * mm, kKeyMm * mm), Qt::AlignLeft | Qt::AlignVCenter,
               text);
}

}  // namespace

AxisScale reflectanceScale(double largest) {
    // A file may hold any number; beyond this the curves are clipped at the axis's end.
    largest = std::min(largest, 1e6);
    for (const double step : {1.0, 2.0, 5.0, 10.0, 20.0, 25.0, 50.0}) {
        const double top = std::max(1.0, std::ceil(largest / step - 1e-9)) * step;
        if (top / step <= 5.0) return {top, step};
    }
    const double step = std::pow(10.0, std::ceil(std::log10(largest / 5.0)));
    return {std::ceil(largest / step) * step, step};
}

void paintSpectraChart(QPainter& painter, const QRectF& area, double pxPerMm,
                       const TileSpectra& spectra, const QString& targetName,
                       const QString& sampleName) {
    const double mm = pxPerMm;
    painter.save();
    font(painter, 8);
    keyEntry(painter, mm, area.left(), area.top(), kTargetCurveColour, Qt::SolidLine, targetName);
    keyEntry(painter, mm, area.left() + area.width() / 2, area.top(), kSampleCurveColour,
             Qt::DashLine, sampleName);
    const double panelWidth = (area.width() - 2 * kPanelGapMm * mm) / kAngleCount;
    const double top = area.top() + kKeyMm * mm;
    for (int a = 0; a < kAngleCount; ++a) {
        const double left = area.left() + a * (panelWidth + kPanelGapMm * mm);
        font(painter, 8, true);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(left, top, panelWidth, kTitleMm * mm), Qt::AlignCenter,
                         QStringLiteral("%1° (reflectance %, nm)").arg(kAngleDegrees[a]));
        const QRectF frame(left + kYLabelsMm * mm, top + kTitleMm * mm,
                           panelWidth - kYLabelsMm * mm,
                           area.bottom() - top - (kTitleMm + kXLabelsMm) * mm);
        const Plot plot{painter, mm, frame, reflectanceScale(largestAt(spectra, a))};
        axes(plot);
        curve(plot, spectra.target[a], kTargetCurveColour, Qt::SolidLine);
        curve(plot, spectra.sample[a], kSampleCurveColour, Qt::DashLine);
    }
    painter.restore();
}

}  // namespace qv
