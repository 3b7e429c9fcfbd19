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

EnergyPeriods::EnergyPeriods(EnergyPeriod::By by, const QDate& from, const QDate& to,
                             const QTimeZone& zone)
    : m_by(by), m_from(from), m_to(to), m_zone(zone)
{
    for (QDate d = EnergyPeriod::periodStart(from, by); d <= to;) {
        m_index.insert(d, int(m_periods.size()));
        m_periods.append({d, 0, std::nullopt});
        d = by == EnergyPeriod::By::Day     ? d.addDays(1)
            : by == EnergyPeriod::By::Month ? d.addMonths(1)
                                            : d.addYears(1);
    }
}

void EnergyPeriods::add(const MinuteRow& row)
{
    if (row.watts <= 0)
        return;
    if (row.start < m_dayStart || row.start >= m_dayEnd) {
        const QDate day = QDateTime::fromSecsSinceEpoch(row.start, m_zone).date();
        m_dayStart = day.startOfDay(m_zone).toSecsSinceEpoch();
        m_dayEnd = day.addDays(1).startOfDay(m_zone).toSecsSinceEpoch();
        const bool inside = day >= m_from && day <= m_to;
        m_dayPeriod = inside ? m_index.value(EnergyPeriod::periodStart(day, m_by), -1) : -1;
    }
    if (m_dayPeriod >= 0)
        m_periods[m_dayPeriod].producedWh += row.watts / 60;
}

QVector<EnergyPeriod> EnergyPeriods::periods(const QMap<QDate, double>& dayWattHours) const
{
    QVector<EnergyPeriod> periods = m_periods;
    for (auto d = dayWattHours.lowerBound(m_from); d != dayWattHours.constEnd() && d.key() <= m_to; ++d) {
        EnergyPeriod& p = periods[m_index.value(EnergyPeriod::periodStart(d.key(), m_by))];
        p.dayWh = p.dayWh.value_or(0) + d.value();
    }
    return periods;
}
