#pragma once

#include <QString>
#include <QStringList>

// Which device a configured port number means. Port N is "COM<N>" in the program folder
// when that exists (a link to /dev/ttyUSB0, a pseudo-terminal, ...), else /dev/ttyS<N-1>;
// on Windows it is COM<N>.
class PortLocator
{
public:
    static QString devicePath(const QString& programDir, int portNumber);
    // The serial ports this machine has now, and COM<N> links in the program folder.
    static QStringList visiblePorts(const QString& programDir);
    // "COM1 link -> /dev/pts/3", "/dev/ttyS0": for hints next to a port number.
    static QString describe(const QString& programDir, int portNumber);
};
