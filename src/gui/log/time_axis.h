#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace qv {

// The ticks of a time axis: a whole number of calendar units between ticks, and the label
// format (QDateTime's) that tells them apart.
struct TimeStep {
    enum class Unit { Minute, Hour, Day, Month, Year };
    Unit unit = Unit::Day;
    int count = 1;
    QString format;
    bool operator==(const TimeStep&) const = default;
};

// The finest step that puts at most `maxTicks` ticks on a span of `spanMs`: minutes or hours
// for one day's checks, days for weeks, months for a year, years beyond.
TimeStep timeStepFor(qint64 spanMs, int maxTicks);

// The ticks from `first` to `last` (local times) on whole steps: a full hour or quarter hour,
// midnight, the first of a month, New Year.
QList<QDateTime> timeTicks(const QDateTime& first, const QDateTime& last, const TimeStep& step);

}  // namespace qv
