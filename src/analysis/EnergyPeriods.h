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

    // Every period from the one holding from to the one holding to, minutes placed by their
    // local date in zone.
    static QVector<EnergyPeriod> of(const QVector<MinuteRow>& rows,
                                    const QMap<QDate, double>& dayWattHours, By by,
                                    const QDate& from, const QDate& to, const QTimeZone& zone);
    static QDate periodStart(const QDate& day, By by);
};
