#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <unistd.h>

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

// Processor time a process has used, user and system, in seconds, from /proc; 0 when unknown.
inline double processorSeconds(const QString& process = QStringLiteral("self"))
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(process));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // The fields after the command name, which may hold spaces, start after its ')'.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}
