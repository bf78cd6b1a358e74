#pragma once

#include <QList>
#include <QPointF>
#include <QStringList>
#include <QWidget>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "core/app/logbook.h"
#include "core/colour/spectrum.h"
#include "core/tiles/diagnosis.h"

QT_BEGIN_NAMESPACE
class QCategoryAxis;
class QChart;
class QLineSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace qv {

// Checks whose colour differences are judged against one threshold and so share one trend:
// repeatability series; inter-instrument checks with their verifications; tile sets.

// One instrument's colour differences over time, per angle, against the threshold they were
// judged by (drawn as steps where it changed); or one physical term of its tile sets'
// diagnoses.
class TrendChart : public QWidget {
    Q_OBJECT
public:
    explicit TrendChart(QWidget* parent = nullptr);

    // The records of `kind` with colour differences, newest first as the logbook hands them
    // out; the others are left out.
    void setRecords(const std::vector<CheckRecord>& records, TrendKind kind);
    // The value of `term` per angle from the diagnosed tile sets among `records`, newest first;
    // where the set could not identify it there is no point.
    void setTermRecords(const std::vector<CheckRecord>& records, Term term);
    // The long-term repeatability: per angle each of `chosen` records' colour difference from
    // the mean colour of them all, in `formula`, under `title`.
    void setLongTermRecords(const std::vector<CheckRecord>& chosen, DeltaEFormula formula,
                            const QString& title);

    // What is plotted: x in milliseconds since the epoch, y the colour difference.
    QList<QPointF> points(int angle) const;
    QList<QPointF> thresholdPoints() const;
    // The span of the time axis, in milliseconds since the epoch.
    std::pair<double, double> timeRangeMs() const;

    // The labels of the time axis's ticks, oldest first, and the axis's title.
    QStringList timeLabels() const;
    QString timeTitle() const;
    QString valueTitle() const;
    QString title() const;

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showAngles(const std::array<QList<QPointF>, kAngleCount>& angles);
    void fitAxes(double firstMs, double lastMs, double low, double high);
    // Ticks on whole hours, days or months as the span asks, as many as the width holds.
    void placeTimeTicks();

    QChart* chart_ = nullptr;
    // A value axis in milliseconds since the epoch whose ticks are labelled as times: a date
    // axis only divides its range evenly, so its ticks would fall on odd times.
    QCategoryAxis* timeAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    std::array<QLineSeries*, kAngleCount> angles_{};
    QLineSeries* threshold_ = nullptr;
};

}  // namespace qv
