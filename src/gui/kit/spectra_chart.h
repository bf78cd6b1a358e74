#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>

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

// A target and a sample spectrum by angle: above, both reflectance curves; below, their ratio
// target / sample against the plausible band, with the first failing wavelength marked.
class SpectraChart : public QWidget {
    Q_OBJECT
public:
    // The ratio axis is fixed; ratios beyond it are drawn at its edge.
    static constexpr double kRatioAxisMax = 2.0;

    enum class Curve { Target, Sample, Ratio, FailurePoint };

    explicit SpectraChart(QWidget* parent = nullptr);

    // Either may hold empty spectra. `failure`: the first implausible ratio to mark, if any.
    void setSpectra(const ThreeAngles& target, const ThreeAngles& sample,
                    std::optional<ImplausibleRatio> failure);
    void clear();

    // What is plotted on one angle's charts (0 = 25°).
    QList<QPointF> points(int angle, Curve curve) const;
    // The wavelength of the vertical failure line on that angle's ratio chart, if drawn.
    std::optional<double> failureLineNm(int angle) const;
    QString failureCaption() const;

    QSize sizeHint() const override;

private:
    struct Column {
        QValueAxis* reflectanceAxis = nullptr;
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
