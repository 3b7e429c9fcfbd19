#include "LiveDisplay.h"

#include "common/NumberText.h"
#include "common/Rounding.h"

namespace {

QVector<LiveDisplay::Row> buildRows(const ProgramConfig& config, const QString values[6])
{
    QVector<LiveDisplay::Row> rows;
    rows.reserve(6);
    rows.append({values[0], QStringLiteral("Volts")});
    rows.append({values[1], QStringLiteral("Amps")});
    rows.append({values[2], QStringLiteral("Watts")});
    rows.append({values[3], QStringLiteral("WattHours")});
    if (ProgramConfig::isOn(config.DisplayRPM))
        rows.append({values[4], QStringLiteral("RPM")});
    if (ProgramConfig::isOn(config.DisplayWS))
        rows.append({values[5], config.WSUnits});
    return rows;
}

} // namespace

QVector<LiveDisplay::Row> LiveDisplay::startRows(const ProgramConfig& config)
{
    const QString zero = QStringLiteral("0.0");
    const QString values[6] = {zero, zero, zero, zero, zero, zero};
    return buildRows(config, values);
}

QVector<LiveDisplay::Row> LiveDisplay::rows(const Reading& reading, const ProgramConfig& config)
{
    const QString values[6] = {NumberText(reading.Volts),
                               NumberText(reading.Amps),
                               NumberText(reading.Watts),
                               NumberText(roundHalfEven(reading.WattHours, 1)),
                               NumberText(reading.RPM),
                               NumberText(reading.WindSpeed)};
    return buildRows(config, values);
}

QString LiveDisplay::modeLabel(qint16 mode)
{
    return mode == 1 ? QStringLiteral("On Load") : QString();
}

QString LiveDisplay::caption(const Reading& reading)
{
    return QStringLiteral("Wendro  ") + NumberText(reading.Volts) + QStringLiteral("V ") +
           NumberText(reading.Amps) + QLatin1Char('A');
}

int LiveDisplay::listFontPointSize(const ProgramConfig& config)
{
    const bool rpm = ProgramConfig::isOn(config.DisplayRPM);
    const bool wind = ProgramConfig::isOn(config.DisplayWS);
    if (rpm && wind)
        return 18;
    return rpm || wind ? 20 : 24;
}
