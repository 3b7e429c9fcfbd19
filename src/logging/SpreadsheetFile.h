#pragma once

#include "OutputBacklog.h"
#include "OutputFailure.h"
#include "device/Reading.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

// The day's table in the Excel folder: an HTML table as plain text that a spreadsheet
// program opens as a sheet. Written only, never read back.
class SpreadsheetFile
{
public:
    // "Excel/" + DayStamp + ".xls".
    static QString fileName(const QDate& date);

    // Both end with CR LF, and each write adds one more after them, so every header and row
    // in the file is followed by an empty line.
    static QByteArray header(const QString& windUnits);
    static QByteArray row(const Reading& reading, const QString& longTime);

    // Appends a row, with the header first when the day's file does not exist yet and the
    // backlog holds no header for it.
    static void appendRow(const QString& programDir, const Reading& reading,
                          const QString& windUnits, const QDate& date, const QString& longTime,
                          QList<OutputFailure>& failures, OutputBacklog* backlog = nullptr);
};
