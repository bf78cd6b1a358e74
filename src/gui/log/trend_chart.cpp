#include "gui/log/trend_chart.h"
#include "gui/kit/palette.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/log/long_term_trend.h"
#include "core/tiles/diagnosis_view.h"
#include "gui/log/time_axis.h"

namespace qv {
namespace {

// Beyond this many checks the markers would only blur the lines.
constexpr int kMarkedPointsMax = 200;
constexpr qint64 kMsPerDay = 24 * 3600 * 1000;
// Room around the checks, and at least this much, so that one day's checks spread out by
// their times and a single check stands clear of the edges.
constexpr double kTimePadShare = 0.04;
constexpr double kTimePadMinMs = 30.0 * 60 * 1000;
// Room between two tick labels, and the most ticks however wide the chart.
constexpr int kTimeLabelGapPx = 24;
constexpr int kTimeTicksMax = 8;
constexpr double kFarValue = 1e6;

QFont scaledFont(QFont font, double pointSize) {
    font.setPointSizeF(pointSize);
    return font;
}

// Local times as milliseconds since the epoch. Qt converts a local time with a time-zone lookup
// of some microseconds, too slow for a long history; but a history has few distinct days, and
// within a day without a clock change the offset from UTC stays the same.
class EpochClock {
public:
    std::optional<double> ms(const LocalTime& t) {
        const QDate date(t.year, t.month, t.day);
        const QTime time(t.hour, t.minute, t.second);
        if (!date.isValid() || !time.isValid()) return std::nullopt;
        if (date != day_) {
            day_ = date;
            const int start = QDateTime(date, QTime(0, 0)).offsetFromUtc();
            const int end = QDateTime(date, QTime(23, 59, 59)).offsetFromUtc();
            offsetS_ = start == end ? std::optional<int>(start) : std::nullopt;
        }
        if (!offsetS_) return static_cast<double>(QDateTime(date, time).toMSecsSinceEpoch());
        constexpr qint64 kEpochJulianDay = 2440588;
        return static_cast<double>((date.toJulianDay() - kEpochJulianDay) * kMsPerDay +
                                   time.msecsSinceStartOfDay()) -
               *offsetS_ * 1000.0;
    }

private:
    QDate day_;
    std::optional<int> offsetS_;
};

// "Gain tilt (%/nm)", "Bandwidth (nm²)", "Linearity".
QString termAxisTitle(Term term) {
    const QString name = QString::fromStdString(termName(term));
    const std::string unit = termUnit(term);
    return unit.empty() ? name : QStringLiteral("%1 (%2)").arg(name, QString::fromStdString(unit));
}

// The value of the term with `key` at one angle of a diagnosis, when the set identified it.
std::optional<double> identifiedValue(const AngleDiagnosisRecord& d, std::string_view key) {
    for (const TermRecord& t : d.terms)
        if (t.key == key && t.identified && std::isfinite(t.value)) return t.value;
    return std::nullopt;
}

QLineSeries* addLine(QChart& chart, const QString& name, const QPen& pen) {
    auto* series = new QLineSeries;
    series->setName(name);
    series->setPen(pen);
    chart.addSeries(series);
    for (QAbstractAxis* axis : chart.axes()) series->attachAxis(axis);
    return series;
}

}  // namespace

TrendChart::TrendChart(QWidget* parent) : QWidget(parent) {
    const QFont base = font();
    chart_ = new QChart;
    chart_->setBackgroundRoundness(0);
    chart_->setMargins(QMargins(2, 2, 2, 2));
    chart_->layout()->setContentsMargins(0, 0, 0, 0);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->legend()->setFont(scaledFont(base, 8.0));
    chart_->setTitleFont(scaledFont(base, 8.0));
    timeAxis_ = new QCategoryAxis;
    timeAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    valueAxis_ = new QValueAxis;
    valueAxis_->setLabelFormat(QStringLiteral("%.2f"));
    valueAxis_->setTitleText(QStringLiteral("colour difference"));
    for (QAbstractAxis* axis :
         {static_cast<QAbstractAxis*>(timeAxis_), static_cast<QAbstractAxis*>(valueAxis_)}) {
        axis->setLabelsFont(scaledFont(base, 7.0));
        axis->setTitleFont(scaledFont(base, 7.0));
    }
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    for (int a = 0; a < kAngleCount; ++a)
        angles_[a] = addLine(*chart_, QStringLiteral("%1°").arg(kAngleDegrees[a]),
                             QPen(palette::angle(a), 1.6));
    threshold_ =
        addLine(*chart_, QStringLiteral("threshold"), QPen(palette::failed(), 1.2, Qt::DashLine));
    auto* view = new QChartView(chart_);
    view->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    // Nothing plotted yet: no time of its own, so not the epoch either.
    const double none = std::numeric_limits<double>::infinity();
    fitAxes(none, -none, 0.0, 0.1);
}

void TrendChart::setRecords(const std::vector<CheckRecord>& records, TrendKind kind) {
    std::array<QList<QPointF>, kAngleCount> angles;
    QList<QPointF> threshold;
    double first = std::numeric_limits<double>::infinity();
    double last = -first;
    double top = 0.0;
    double thresholdEndMs = 0.0;
    EpochClock clock;
    // The logbook hands them out newest first; the lines run forward in time.
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
        if (kindRow(r->kind).trend != kind) continue;
        const std::optional<double> ms = clock.ms(r->time);
        if (!ms) continue;
        bool plotted = false;
        for (int a = 0; a < kAngleCount; ++a) {
            const double v = r->angles[a].deltaE;
            if (!std::isfinite(v)) continue;
            angles[a].append({*ms, v});
            top = std::max(top, v);
            plotted = true;
        }
        if (!plotted) continue;
        first = std::min(first, *ms);
        last = std::max(last, *ms);
        if (!std::isfinite(r->threshold)) continue;
        top = std::max(top, r->threshold);
        // Only where the threshold changes (a step) and its two ends.
        if (threshold.isEmpty() || threshold.back().y() != r->threshold) {
            if (!threshold.isEmpty()) threshold.append({*ms, threshold.back().y()});
            threshold.append({*ms, r->threshold});
        }
        thresholdEndMs = *ms;
    }
    if (!threshold.isEmpty() && threshold.back().x() < thresholdEndMs)
        threshold.append({thresholdEndMs, threshold.back().y()});
    showAngles(angles);
    threshold_->replace(threshold);
    threshold_->setVisible(true);
    valueAxis_->setTitleText(QStringLiteral("colour difference"));
    valueAxis_->setLabelFormat(QStringLiteral("%.2f"));
    // An imported file may hold any number; the axis stays finite whatever it says.
    fitAxes(first, last, 0.0, std::clamp(top * 1.15, 0.1, kFarValue));
}

void TrendChart::setTermRecords(const std::vector<CheckRecord>& records, Term term) {
    std::array<QList<QPointF>, kAngleCount> angles;
    double first = std::numeric_limits<double>::infinity();
    double last = -first;
    double low = 0.0;
    double high = 0.0;
    EpochClock clock;
    const std::string_view key = termInfo(term).key;
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
        if (r->kind != RecordKind::TileSet || !r->diagnosis) continue;
        const std::optional<double> ms = clock.ms(r->time);
        if (!ms) continue;
        for (int a = 0; a < kAngleCount; ++a) {
            const std::optional<double> v = identifiedValue((*r->diagnosis)[a], key);
            if (!v) continue;
            angles[a].append({*ms, *v});
            low = std::min(low, *v);
            high = std::max(high, *v);
            first = std::min(first, *ms);
            last = std::max(last, *ms);
        }
    }
    showAngles(angles);
    threshold_->clear();
    threshold_->setVisible(false);
    valueAxis_->setTitleText(termAxisTitle(term));
    // A term's values span powers of ten from one term to the next.
    valueAxis_->setLabelFormat(QStringLiteral("%.3g"));
    // Room beyond the values on the side they lie, zero always in sight; a span about zero
    // when nothing is plotted.
    const double pad = 0.15 * (high - low);
    if (pad > 0.0)
        fitAxes(first, last, std::max(low < 0.0 ? low - pad : 0.0, -kFarValue),
                std::min(high > 0.0 ? high + pad : 0.0, kFarValue));
    else
        fitAxes(first, last, -1.0, 1.0);
}

void TrendChart::setLongTermRecords(const std::vector<CheckRecord>& chosen, DeltaEFormula formula,
                                    const QString& title) {
    const auto differences = differencesFromMean(chosen, formula);
    std::array<QList<QPointF>, kAngleCount> angles;
    double first = std::numeric_limits<double>::infinity();
    double last = -first;
    double top = 0.0;
    EpochClock clock;
    for (std::size_t i = chosen.size(); i-- > 0;) {
        const std::optional<double> ms = clock.ms(chosen[i].time);
        if (!ms) continue;
        for (int a = 0; a < kAngleCount; ++a) {
            const double v = differences[a][i];
            if (!std::isfinite(v)) continue;
            angles[a].append({*ms, v});
            top = std::max(top, v);
            first = std::min(first, *ms);
            last = std::max(last, *ms);
        }
    }
    showAngles(angles);
    chart_->setTitle(title);
    threshold_->clear();
    threshold_->setVisible(false);
    valueAxis_->setTitleText(QStringLiteral("difference from the mean"));
    valueAxis_->setLabelFormat(QStringLiteral("%.3f"));
    fitAxes(first, last, 0.0, std::clamp(top * 1.15, 0.01, kFarValue));
}

void TrendChart::showAngles(const std::array<QList<QPointF>, kAngleCount>& angles) {
    chart_->setTitle(QString());
    for (int a = 0; a < kAngleCount; ++a) {
        angles_[a]->setPointsVisible(angles[a].size() <= kMarkedPointsMax);
        angles_[a]->replace(angles[a]);
    }
}

void TrendChart::fitAxes(double firstMs, double lastMs, double low, double high) {
    if (!(firstMs <= lastMs)) {
        // Nothing plotted: the last month up to today.
        lastMs = static_cast<double>(QDateTime::currentMSecsSinceEpoch());
        firstMs = lastMs - 30.0 * kMsPerDay;
    }
    const double pad = std::max((lastMs - firstMs) * kTimePadShare, kTimePadMinMs);
    timeAxis_->setRange(firstMs - pad, lastMs + pad);
    placeTimeTicks();
    valueAxis_->setRange(low, high);
    valueAxis_->setTickCount(6);
    valueAxis_->applyNiceNumbers();
}

QList<QPointF> TrendChart::points(int angle) const {
    if (angle < 0 || angle >= kAngleCount) return {};
    return angles_[static_cast<std::size_t>(angle)]->points();
}

QList<QPointF> TrendChart::thresholdPoints() const {
    return threshold_->points();
}

void TrendChart::placeTimeTicks() {
    for (const QString& label : timeAxis_->categoriesLabels()) timeAxis_->remove(label);
    const double lo = timeAxis_->min();
    const double hi = timeAxis_->max();
    const auto span = static_cast<qint64>(hi - lo);
    // As many ticks as their labels leave room for; a finer step has longer labels.
    const QFontMetrics metrics(timeAxis_->labelsFont());
    int ticks = kTimeTicksMax;
    TimeStep step = timeStepFor(span, ticks);
    for (;;) {
        const int labelPx = metrics.horizontalAdvance(
            QDateTime(QDate(2000, 12, 31), QTime(23, 59)).toString(step.format));
        const int room = std::max(2, width() / (labelPx + kTimeLabelGapPx));
        if (room >= ticks) break;
        ticks = room;
        step = timeStepFor(span, ticks);
    }
    const QDateTime first = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(lo));
    const QDateTime last = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(hi));
    timeAxis_->setStartValue(lo);
    for (const QDateTime& tick : timeTicks(first, last, step))
        timeAxis_->append(tick.toString(step.format),
                          static_cast<double>(tick.toMSecsSinceEpoch()));
    // Hours alone need the day they are on.
    const bool hours = step.unit == TimeStep::Unit::Minute || step.unit == TimeStep::Unit::Hour;
    const QString from = first.toString(QStringLiteral("yyyy-MM-dd"));
    const QString to = last.toString(QStringLiteral("yyyy-MM-dd"));
    timeAxis_->setTitleText(!hours       ? QString()
                            : from == to ? from
                                         : from + QStringLiteral(" – ") + to);
}

void TrendChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeTimeTicks();
}

QStringList TrendChart::timeLabels() const {
    return timeAxis_->categoriesLabels();
}

QString TrendChart::timeTitle() const {
    return timeAxis_->titleText();
}

QString TrendChart::valueTitle() const {
    return valueAxis_->titleText();
}

QString TrendChart::title() const {
    return chart_->title();
}

std::pair<double, double> TrendChart::timeRangeMs() const {
    return {timeAxis_->min(), timeAxis_->max()};
}

QSize TrendChart::sizeHint() const {
    return {560, 280};
}

}  // namespace qv
