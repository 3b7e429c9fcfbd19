#pragma once

#include "ConfigReport.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The values of prog.cfg, each kept as the text read from the file and converted where used.
struct ProgramConfig
{
    QString Port;
    QString Savehtml;
    QString SaveExcel;
    QString LogDelay;
    QString LogOn;
    QString DisplayRPM;
    QString DisplayWS;
    QString WSUnits;

    // What a first start writes: port 1, a minute's interval, no automatic start, no web
    // page, no spreadsheet, RPM and wind speed shown in km/h.
    static ProgramConfig defaults();

    static QString path(const QString& programDir);
    static ProgramConfig load(const QString& programDir, ConfigReport* report = nullptr);

    // The whole file, exactly as the setup dialog writes it.
    QByteArray fileText() const;
    // Returns the reason on failure, empty on success; the old file survives a failure.
    QString save(const QString& programDir) const;

    // A flag is on when its text reads as the number 1 ("1", "1.0", " 1 ").
    static bool isOn(const QString& flag);
    // The port as a 16-bit number, halves to even; nothing when it is not a number.
    std::optional<qint16> portNumber() const;
    // Why no port is opened when Port is not a number (kept as stored, so the setup dialog
    // shows it); empty when it is one.
    QString portProblem() const;
};
