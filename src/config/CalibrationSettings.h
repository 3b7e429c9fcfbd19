#pragma once

#include "ConfigReport.h"

#include <QByteArray>
#include <QString>

// The values of settings.cfg: the dividers and the zero offset that turn raw frame numbers
// into volts, amps, RPM and wind speed. Kept as texts, as typed in the calibration dialog.
struct CalibrationSettings
{
    QString VoltDivider;
    QString VoltOffset;
    QString AmpDivider;
    QString RPMDivider;
    QString WSDivider;

    // Dividers that suit the logger's usual scaling and the device simulator: 50 counts per
    // volt, the shunt's zero at 512 with 20 counts per amp, 4 pulses per revolution and
    // 2.5 anemometer pulses per km/h.
    static CalibrationSettings defaults();

    static QString path(const QString& programDir);
    static CalibrationSettings load(const QString& programDir, ConfigReport* report = nullptr);

    // The whole file, exactly as the calibration dialog writes it.
    QByteArray fileText() const;
    // Returns the reason on failure, empty on success; the old file survives a failure.
    QString save(const QString& programDir) const;
};
