#pragma once

#include <QString>
#include <QStringList>

// The command line. With no options the program is the desktop program on the folder of its
// binary.
struct Options
{
    bool headless = false;
    bool help = false;
    bool version = false;
    QString dir;    // empty: the folder of the binary
    QString listen; // empty: no web server
    // Publishing to a broker; checked and read by BrokerSettings.
    QString mqtt;
    QString mqttPasswordFile;
    QString mqttCa;
    QString station;
    // --power-curve FROM TO: print the measured power curve and end.
    bool powerCurve = false;
    QString curveFrom;
    QString curveTo;
    QString error; // set when the command line could not be read

    static Options parse(const QStringList& arguments);
    static QString usage();
};
