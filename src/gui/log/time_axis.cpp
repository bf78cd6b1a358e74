#include "gui/log/time_axis.h"

#include <algorithm>
#include <array>

namespace qv {

namespace {

using Unit = TimeStep::Unit;

constexpr qint64 kMinuteMs = 60 * 1000;
constexpr qint64 kHourMs = 60 * kMinuteMs;
constexpr qint64 kDayMs = 24 * kHourMs;
constexpr qint64 kMonthMs = 30 * kDayMs + 10 * kHourMs;  // on average
constexpr qint64 kYearMs = 365 * kDayMs + 6 * kHourMs;
// More ticks than this would only mean a broken clock in a record.
constexpr int kTicksMax = 60;

struct Candidate {
    Unit unit;
    int count;
    qint64 ms;
};

constexpr std::array<Candidate, 26> kSteps = {{
    {Unit::Minute, 1, kMinuteMs},       {Unit::Minute, 2, 2 * kMinuteMs},
    {Unit::Minute, 5, 5 * kMinuteMs},   {Unit::Minute, 10, 10 * kMinuteMs},
    {Unit::Minute, 15, 15 * kMinuteMs}, {Unit::Minute, 30, 30 * kMinuteMs},
    {Unit::Hour, 1, kHourMs},           {Unit::Hour, 2, 2 * kHourMs},
    {Unit::Hour, 3, 3 * kHourMs},       {Unit::Hour, 6, 6 * kHourMs},
    {Unit::Hour, 12, 12 * kHourMs},     {Unit::Day, 1, kDayMs},
    {Unit::Day, 2, 2 * kDayMs},         {Unit::Day, 7, 7 * kDayMs},
    {Unit::Day, 14, 14 * kDayMs},       {Unit::Month, 1, kMonthMs},
    {Unit::Month, 2, 2 * kMonthMs},     {Unit::Month, 3, 3 * kMonthMs},
    {Unit::Month, 6, 6 * kMonthMs},     {Unit::Year, 1, kYearMs},
    {Unit::Year, 2, 2 * kYearMs},       {Unit::Year, 5, 5 * kYearMs},
    {Unit::Year, 10, 10 * kYearMs},     {Unit::Year, 20, 20 * kYearMs},
    {Unit::Year, 50, 50 * kYearMs},     {Unit::Year, 100, 100 * kYearMs},
}};

QString formatFor(Unit unit, qint64 spanMs) {
    switch (unit) {
        case Unit::Minute:
        case Unit::Hour:
            // Within a day the axis's title gives the date; across days each tick needs it.
            return spanMs < kDayMs ? QStringLiteral("HH:mm") : QStringLiteral("MM-dd HH:mm");
        case Unit::Day:
            return QStringLiteral("yyyy-MM-dd");
        case Unit::Month:
            return QStringLiteral("yyyy-MM");
        case Unit::Year:
            return QStringLiteral("yyyy");
    }
    return {};
}

QDateTime advanced(const QDateTime& t, const TimeStep& step) {
    switch (step.unit) {
        case Unit::Minute:
            return t.addSecs(60LL * step.count);
        case Unit::Hour:
            return t.addSecs(3600LL * step.count);
        case Unit::Day:
            return t.addDays(step.count);
        case Unit::Month:
            return t.addMonths(step.count);
        case Unit::Year:
            return t.addYears(step.count);
    }
    return t;
}

// The whole step at or before `first`: counted from midnight, the first month, year 0.
QDateTime startOf(const QDateTime& first, const TimeStep& step) {
    const QDate day = first.date();
    switch (step.unit) {
        case Unit::Minute:
        case Unit::Hour:
        case Unit::Day:
            return QDateTime(day, QTime(0, 0));
        case Unit::Month:
            return QDateTime(QDate(day.year(), 1 + (day.month() - 1) / step.count * step.count, 1),
                             QTime(0, 0));
        case Unit::Year:
            return QDateTime(QDate(day.year() / step.count * step.count, 1, 1), QTime(0, 0));
    }
    return first;
}

}  // namespace

TimeStep timeStepFor(qint64 spanMs, int maxTicks) {
    const qint64 ticks = std::max(maxTicks, 1);
    const auto fits = std::find_if(kSteps.begin(), kSteps.end(),
                                   [&](const Candidate& c) { return spanMs / c.ms < ticks; });
    const Candidate& c = fits == kSteps.end() ? kSteps.back() : *fits;
    return {c.unit, c.count, formatFor(c.unit, spanMs)};
}

QList<QDateTime> timeTicks(const QDateTime& first, const QDateTime& last, const TimeStep& step) {
    QList<QDateTime> ticks;
    if (!first.isValid() || !last.isValid() || step.count < 1) return ticks;
    QDateTime t = startOf(first, step);
    // Minutes and hours are stepped from midnight: a day holds at most 1440 of them.
    while (t.isValid() && t < first) t = advanced(t, step);
    while (t.isValid() && t <= last && ticks.size() < kTicksMax) {
        ticks.append(t);
        t = advanced(t, step);
    }
    return ticks;
}

}  // namespace qv
