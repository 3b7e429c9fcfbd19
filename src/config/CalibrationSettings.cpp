#include "CalibrationSettings.h"

#include "ConfigFile.h"
#include "ConfigKeys.h"

#include <QDir>

CalibrationSettings CalibrationSettings::defaults()
{
    CalibrationSettings c;
    c.VoltDivider = QStringLiteral("50");
    c.VoltOffset = QStringLiteral("512");
    c.AmpDivider = QStringLiteral("20");
    c.RPMDivider = QStringLiteral("4");
    c.WSDivider = QStringLiteral("2.5");
    return c;
}

QString CalibrationSettings::path(const QString& programDir)
{
    return QDir(programDir).filePath(QString::fromLatin1(ConfigKeys::CalibrationFile));
}

CalibrationSettings CalibrationSettings::load(const QString& programDir, ConfigReport* report)
{
    // Dividers stay as typed even when they are not numbers: the conversion then stops at
    // that step, which is what the calibration dialog lets a user save.
    using F = ConfigFile::Field<CalibrationSettings>;
    namespace K = ConfigKeys;
    return ConfigFile::load<CalibrationSettings>(
        programDir, K::CalibrationFile,
        {F{K::VoltDivider, &CalibrationSettings::VoltDivider, false},
         F{K::VoltOffset, &CalibrationSettings::VoltOffset, false},
         F{K::AmpDivider, &CalibrationSettings::AmpDivider, false},
         F{K::RPMDivider, &CalibrationSettings::RPMDivider, false},
         F{K::WSDivider, &CalibrationSettings::WSDivider, false}},
        report);
}

QByteArray CalibrationSettings::fileText() const
{
    namespace K = ConfigKeys;
    QByteArray out = "Calibration Settings\r\n\r\n\r\n";
    ConfigFile::appendTagLine(out, K::VoltDivider, VoltDivider);
    ConfigFile::appendTagLine(out, K::VoltOffset, VoltOffset);
    ConfigFile::appendTagLine(out, K::AmpDivider, AmpDivider);
    ConfigFile::appendTagLine(out, K::RPMDivider, RPMDivider);
    ConfigFile::appendTagLine(out, K::WSDivider, WSDivider);
    return out;
}

QString CalibrationSettings::save(const QString& programDir) const
{
    return ConfigFile::writeAtomically(path(programDir), fileText());
}
