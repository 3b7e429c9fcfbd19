#include "DayStamp.h"

QString DayStamp(const QDate& date)
{
    return QStringLiteral("%1_%2_%3").arg(date.year()).arg(date.month()).arg(date.day());
}

QString DailyLogFile(const QDate& date)
{
    return QStringLiteral("logs/") + DayStamp(date) + QStringLiteral(".txt");
}
