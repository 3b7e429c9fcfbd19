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
    return parts.join(QStringLiteral("; "));
}

QString LogWriter::logFile(const QDate& date)
{
    return QStringLiteral("logs/") + DayStamp(date) + QStringLiteral(".txt");
}

LogWriter::Result LogWriter::writeTick(const QString& programDir, const Reading& reading,
                                       const ProgramConfig& config, const QDateTime& now,
                                       const QLocale& locale)
{
    // The date is taken once, so a tick just after midnight writes every file of the new day.
    const QDate date = now.date();
    Result result;
    OutputFile(programDir, logFile(date)).append(LogRecord(reading, now.time()), result.failures);

    if (ProgramConfig::isOn(config.Savehtml)) {
        WebPagePublisher::publish(programDir, reading, config.WSUnits, now, locale,
                                  result.failures);
    }
    if (ProgramConfig::isOn(config.SaveExcel)) {
        SpreadsheetFile::appendRow(programDir, reading, config.WSUnits, date,
                                   LocaleForms::longTime(locale, now.time()), result.failures);
    }
    return result;
}
