#include "LogWriter.h"

#include "LocaleForms.h"
#include "LogRecord.h"
#include "OutputFile.h"
#include "SpreadsheetFile.h"
#include "WebPagePublisher.h"

#include <QStringList>

QString LogWriter::Result::describe() const
{
    QStringList parts;
    for (const OutputFailure& failure : failures)
        parts << failure.text();
    QString text = parts.join(QStringLiteral("; "));
    if (dropped)
        text += QStringLiteral(" (too many records waiting: the oldest were dropped)");
    else if (kept)
        text += QStringLiteral(" (records kept until they can be written)");
    return text;
}

LogWriter::Result LogWriter::writeTick(const QString& programDir, const Reading& reading,
                                       const ProgramConfig& config, const QDateTime& now,
                                       const QLocale& locale, OutputBacklog* backlog)
{
    // The date is taken once, so a tick just after midnight writes every file of the new day.
    const QDate date = now.date();
    Result result;
    OutputBacklog::append(backlog, OutputFile(programDir, DailyLogFile(date)),
                          LogRecord(reading, now.time()), result.failures);

    if (ProgramConfig::isOn(config.Savehtml)) {
        WebPagePublisher::publish(programDir, reading, config.WSUnits, now, locale, result.failures,
                                  backlog);
    }
    if (ProgramConfig::isOn(config.SaveExcel)) {
        SpreadsheetFile::appendRow(programDir, reading, config.WSUnits, date,
                                   LocaleForms::longTime(locale, now.time()), result.failures,
                                   backlog);
    }
    if (backlog) {
        // Files this tick did not write, such as yesterday's, still get their held lines.
        backlog->flush(result.failures);
        result.kept = !backlog->isEmpty();
        result.dropped = backlog->dropped();
    }
    return result;
}
