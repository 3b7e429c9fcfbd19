#include "WebPagePublisher.h"

#include "LocaleForms.h"
#include "LogRecord.h"
#include "OutputFile.h"
#include "common/NumberText.h"

namespace {

QByteArray numberBytes(double value)
{
    return NumberText(value).toLatin1();
}

} // namespace

QString WebPagePublisher::historyFile(const QLocale& locale, const QDate& date)
{
    QString day = LocaleForms::shortDate(locale, date);
    day.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("html/history") + day + QStringLiteral(".txt");
}

QByteArray WebPagePublisher::historyLine(const Reading& reading, const QString& windUnits,
                                         const QString& longTime)
{
    const QByteArray gap = "\t\t";
    QByteArray line;
    line += numberBytes(reading.PeakVolts) + "V" + gap;
    line += numberBytes(reading.PeakAmps) + "A" + gap;
    line += numberBytes(reading.PeakWatts) + "W" + gap;
    line += numberBytes(reading.PeakRPM) + "RPM" + gap;
    line += numberBytes(reading.PeakWindSpeed) + windUnits.toUtf8() + gap;
    line += ModeText(reading.Mode).toUtf8() + gap;
    line += longTime.toUtf8() + "\r\n";
    return line;
}

QByteArray WebPagePublisher::page(QByteArray templateBytes, const Reading& reading,
                                  const QString& longTime)
{
    // In this order; no replacement text can hold a placeholder.
    const std::pair<const char*, QByteArray> replacements[] = {
        {"<VV>", numberBytes(reading.PeakVolts)},
        {"<II>", numberBytes(reading.PeakAmps)},
        {"<WW>", numberBytes(reading.PeakWatts)},
        {"<WH>", numberBytes(reading.WattHours)},
        {"<RR>", numberBytes(reading.PeakRPM)},
        {"<SS>", numberBytes(reading.PeakWindSpeed)},
        {"<TT>", longTime.toUtf8()},
        {"<MM>", ModeText(reading.Mode).toUtf8()},
    };
    for (const auto& [placeholder, text] : replacements)
        templateBytes.replace(placeholder, text);
    return templateBytes + "\r\n";
}

void WebPagePublisher::publish(const QString& programDir, const Reading& reading,
                               const QString& windUnits, const QDateTime& now,
                               const QLocale& locale, QList<OutputFailure>& failures,
                               OutputBacklog* backlog)
{
    const QString longTime = LocaleForms::longTime(locale, now.time());
    OutputBacklog::append(backlog, OutputFile(programDir, historyFile(locale, now.date())),
                          historyLine(reading, windUnits, longTime), failures);

    QByteArray templateBytes;
    if (!OutputFile(programDir, templateFile()).read(&templateBytes, failures))
        return;
    OutputFile(programDir, pageFile()).replace(page(templateBytes, reading, longTime), failures);
}
