#include "EnergyPeriods.h"

#include <QDateTime>

QDate EnergyPeriod::periodStart(const QDate& day, By by)
{
    switch (by) {
    case By::Day:
        return day;
    case By::Month:
        return QDate(day.year(), day.month(), 1);
    case By::Year:
        return QDate(day.year(), 1, 1);
    }
    return day;
}

QVector<EnergyPeriod> EnergyPeriod::of(const QVector<MinuteRow>& rows,
                                       const QMap<QDate, double>& dayWattHours, By by,
                                       const QDate& from, const QDate& to, const QTimeZone& zone)
{
    QVector<EnergyPeriod> periods;
    QMap<QDate, int> index;
    for (QDate d = periodStart(from, by); d <= to;) {
        index.insert(d, int(periods.size()));
        periods.append({d, 0, std::nullopt});
        d = by == By::Day ? d.addDays(1) : by == By::Month ? d.addMonths(1) : d.addYears(1);
    }
    for (const MinuteRow& row : rows) {
        if (row.watts <= 0)
            continue;
        const QDate day = QDateTime::fromSecsSinceEpoch(row.start, zone).date();
        const auto at = index.constFind(periodStart(day, by));
        if (day >= from && day <= to && at != index.constEnd())
            periods[*at].producedWh += row.watts / 60;
    }
    for (auto d = dayWattHours.lowerBound(from); d != dayWattHours.constEnd() && d.key() <= to; ++d) {
        EnergyPeriod& p = periods[index.value(periodStart(d.key(), by))];
        p.dayWh = p.dayWh.value_or(0) + d.value();
    }
    return periods;
}
