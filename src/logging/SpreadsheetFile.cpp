#include "SpreadsheetFile.h"

#include "LogRecord.h"
#include "OutputFile.h"
#include "common/NumberText.h"

#include <QStringList>

namespace {

const QByteArray lineEnd = "\r\n";

} // namespace

QString SpreadsheetFile::fileName(const QDate& date)
{
    return QStringLiteral("Excel/") + DayStamp(date) + QStringLiteral(".xls");
}

QByteArray SpreadsheetFile::header(const QString& windUnits)
{
    return "<html><body><table><tr><td><b>Volts</b></td><td><b>Amps</b></td><td><b>Watts</b>"
           "</td><td><b>RPM</b></td><td><b>" +
           windUnits.toUtf8() + "</b></td><td><b>Mode</b></td><td><b>Time</b></td></tr>" + lineEnd;
}

QByteArray SpreadsheetFile::row(const Reading& reading, const QString& longTime)
{
    const QStringList cells = {NumberText(reading.PeakVolts),
                               NumberText(reading.PeakAmps),
                               NumberText(reading.PeakWatts),
                               NumberText(reading.PeakRPM),
                               NumberText(reading.PeakWindSpeed),
                               ModeText(reading.Mode),
                               longTime};
    const QByteArray out = "<tr><td>" + cells.join(QStringLiteral("</td><td>")).toUtf8();
    return out + "</td></tr>" + lineEnd;
}

void SpreadsheetFile::appendRow(const QString& programDir, const Reading& reading,
                                const QString& windUnits, const QDate& date,
                                const QString& longTime, QList<OutputFailure>& failures,
                                OutputBacklog* backlog)
{
    // Tested on every tick, so a file deleted during the day comes back with a header. Header
    // and row go out in one write: a failure then cannot leave a header without its row.
    const OutputFile file(programDir, fileName(date));
    QByteArray bytes;
    if (!file.exists() && !(backlog && backlog->holds(file.relativePath())))
        bytes = header(windUnits) + lineEnd;
    bytes += row(reading, longTime) + lineEnd;
    OutputBacklog::append(backlog, file, bytes, failures);
}
