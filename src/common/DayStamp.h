#pragma once

#include <QDate>
#include <QString>

// Year, month and day joined by "_" without leading zeros: 2010_3_7. It names the day's log
// and spreadsheet files, so the writer and the history reader must agree on it.
QString DayStamp(const QDate& date);
// The day's log, relative to the program folder: "logs/" + DayStamp + ".txt". The log writer
// and every reader of a day name it here.
QString DailyLogFile(const QDate& date);
