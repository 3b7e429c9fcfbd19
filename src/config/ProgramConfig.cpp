#include "ProgramConfig.h"

#include "ConfigFile.h"
#include "ConfigKeys.h"
#include "common/NumberParse.h"
#include "common/Rounding.h"

#include <QDir>

ProgramConfig ProgramConfig::defaults()
{
    ProgramConfig c;
    c.Port = QStringLiteral("1");
    c.Savehtml = QStringLiteral("0");
    c.SaveExcel = QStringLiteral("0");
    c.LogDelay = QStringLiteral("60");
    c.LogOn = QStringLiteral("0");
    c.DisplayRPM = QStringLiteral("1");
    c.DisplayWS = QStringLiteral("1");
    c.WSUnits = QStringLiteral("km/h");
    return c;
}

QString ProgramConfig::path(const QString& programDir)
{
    return QDir(programDir).filePath(QString::fromLatin1(ConfigKeys::ProgramFile));
}

ProgramConfig ProgramConfig::load(const QString& programDir, ConfigReport* report)
{
    using F = ConfigFile::Field<ProgramConfig>;
    namespace K = ConfigKeys;
    return ConfigFile::load<ProgramConfig>(programDir, K::ProgramFile,
                                           {F{K::Port, &ProgramConfig::Port, false},
                                            F{K::Savehtml, &ProgramConfig::Savehtml, true},
                                            F{K::SaveExcel, &ProgramConfig::SaveExcel, true},
                                            F{K::LogDelay, &ProgramConfig::LogDelay, false},
                                            F{K::LogOn, &ProgramConfig::LogOn, true},
                                            F{K::DisplayRPM, &ProgramConfig::DisplayRPM, true},
                                            F{K::DisplayWS, &ProgramConfig::DisplayWS, true},
                                            F{K::WSUnits, &ProgramConfig::WSUnits, false}},
                                           report);
}

QByteArray ProgramConfig::fileText() const
{
    namespace K = ConfigKeys;
    QByteArray out = "Program Config File\r\n\r\n";
    ConfigFile::appendTagLine(out, K::Port, Port);
    ConfigFile::appendTagLine(out, K::Savehtml, Savehtml);
    ConfigFile::appendTagLine(out, K::SaveExcel, SaveExcel);
    ConfigFile::appendTagLine(out, K::LogDelay, LogDelay);
    ConfigFile::appendTagLine(out, K::LogOn, LogOn);
    ConfigFile::appendTagLine(out, K::DisplayRPM, DisplayRPM);
    ConfigFile::appendTagLine(out, K::DisplayWS, DisplayWS);
    ConfigFile::appendTagLine(out, K::WSUnits, WSUnits);
    out += "\r\n";
    return out;
}

QString ProgramConfig::save(const QString& programDir) const
{
    return ConfigFile::writeAtomically(path(programDir), fileText());
}

bool ProgramConfig::isOn(const QString& flag)
{
    const auto value = parseNumber(flag);
    return value && *value == 1.0;
}

std::optional<qint16> ProgramConfig::portNumber() const
{
    const auto value = parseNumber(Port);
    if (!value)
        return std::nullopt;
    return toInt16(*value);
}

QString ProgramConfig::portProblem() const
{
    if (portNumber())
        return {};
    return QStringLiteral("prog.cfg: Port \"%1\" is not a port number: no port opened. Set the "
                          "port in Program Setup.")
        .arg(Port);
}
