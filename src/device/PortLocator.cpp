#include "PortLocator.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

QString PortLocator::devicePath(const QString& programDir, int portNumber)
{
#ifdef Q_OS_WIN
    Q_UNUSED(programDir);
    return QStringLiteral("COM%1").arg(portNumber);
#else
    const QString link = QDir(programDir).filePath(QStringLiteral("COM%1").arg(portNumber));
    const QFileInfo info(link);
    // A dangling link still names the device the user meant; opening it says it is missing.
    if (info.exists() || info.isSymLink())
        return link;
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

QStringList PortLocator::visiblePorts(const QString& programDir)
{
    QStringList ports;
    const QStringList links = QDir(programDir).entryList({QStringLiteral("COM*")},
                                                         QDir::Files | QDir::System, QDir::Name);
    for (const QString& name : links) {
        const QFileInfo info(QDir(programDir).filePath(name));
        ports << (info.isSymLink() ? QStringLiteral("%1 -> %2").arg(name, info.symLinkTarget())
                                   : name);
    }
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        ports << port.systemLocation();
    return ports;
}

QString PortLocator::describe(const QString& programDir, int portNumber)
{
    const QString path = devicePath(programDir, portNumber);
    const QFileInfo info(path);
    if (info.isSymLink())
        return QStringLiteral("COM%1 -> %2").arg(portNumber).arg(info.symLinkTarget());
    return path;
}
