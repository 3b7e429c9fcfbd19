#pragma once

#include "analysis/MinuteAverages.h"

#include <QDate>
#include <QMap>
#include <QTimeZone>
#include <QVector>
#include <optional>

// Energy produced per day, month or year from the minute record (each minute adds its mean
// watts / 60 Wh when positive), beside the day's watt-hours of energy.txt where it has lines.
struct EnergyPeriod
{
    enum class By { Day, Month, Year };

    QDate start;
    double producedWh = 0;
    std::optional<double> dayWh; // summed over the period's days that have a line

    static QDate periodStart(const QDate& day, By by);
};

// Every period from the one holding from to the one holding to, minutes placed by their local
// date in zone. Takes the rows one at a time, so a year of minutes is never held at once.
class EnergyPeriods
{
public:
    EnergyPeriods(EnergyPeriod::By by, const QDate& from, const QDate& to, const QTimeZone& zone);
    void add(const MinuteRow& row);
    QVector<EnergyPeriod> periods(const QMap<QDate, double>& dayWattHours) const;

private:
    EnergyPeriod::By m_by;
    QDate m_from, m_to;
    QTimeZone m_zone;
    QVector<EnergyPeriod> m_periods;
    QMap<QDate, int> m_index;
    // The local day of the last minute placed, and its bounds in Unix time: minutes come in
    // order, so the zone is asked once a day rather than once a minute.
    qint64 m_dayStart = 0, m_dayEnd = 0;
    int m_dayPeriod = -1;
};
