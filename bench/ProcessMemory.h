#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Resident memory of a process, in kB, from /proc: "self" or a process id; 0 when unknown.
inline int residentKb(const QString& process = QStringLiteral("self"))
{
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toInt();
    }
    return 0;
}
