#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>
#include <utility>

#include "core/checks/plausibility.h"
#include "core/colour/spectrum.h"
#include "report/kit/curve_colours.h"

QT_BEGIN_NAMESPACE
class QChart;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace qv {

// A value axis on round steps: from `min` to `max` every `step`, labelled with `decimals`.
struct AxisScale {
    double min = 0.0;
    double max = 1.0;
    double step = 0.25;
    int decimals = 2;
};

// A target and a sample spectrum by angle: above, both reflectance curves; below, their ratio
// target / sample against the plausible band, with the first failing wavelength marked.
class SpectraChart : public QWidget {
    Q_OBJECT
public:
    // Ratios are drawn between 0 and this; beyond it, on the edge.
    static constexpr double kRatioAxisMax = 2.0;

    // The ratio axis for ratios from `lo` to `hi`: the disagreement being corrected is a few
    // percent, so the axis fits the ratios (with 1, agreement, always in sight) and the
    // plausible band stays behind them as context, cut off where the axis ends. Never narrower
    // than 0.02, so equal spectra draw a flat line on a readable axis.
    static AxisScale ratioScale(double lo, double hi);

    enum class Curve { Target, Sample, Ratio, FailurePoint };

    explicit SpectraChart(QWidget* parent = nullptr);

    // Either may hold empty spectra. `failure`: the first implausible ratio to mark, if any.
    void setSpectra(const ThreeAngles& target, const ThreeAngles& sample,
                    std::optional<ImplausibleRatio> failure);
    void clear();

    // What is plotted on one angle's charts (0 = 25°).
    QList<QPointF> points(int angle, Curve curve) const;
    // The range of that angle's ratio axis.
    std::pair<double, double> ratioAxisRange(int angle) const;
    // The wavelength of the vertical failure line on that angle's ratio chart, if drawn.
    std::optional<double> failureLineNm(int angle) const;
    QString failureCaption() const;

    QSize sizeHint() const override;

private:
    struct Column {
        QValueAxis* reflectanceAxis = nullptr;
        QValueAxis* ratioAxis = nullptr;
        QLineSeries* target = nullptr;
        QLineSeries* sample = nullptr;
        QLineSeries* ratioLine = nullptr;
        QLineSeries* failureLine = nullptr;
        QScatterSeries* failurePoint = nullptr;
    };

    QChart* makeSpectraChart(int angle);
    QChart* makeRatioChart(int angle);
    void showFailure(const std::optional<ImplausibleRatio>& failure);

    std::array<Column, kAngleCount> columns_{};
    QLabel* caption_ = nullptr;
};

}  // namespace qv
