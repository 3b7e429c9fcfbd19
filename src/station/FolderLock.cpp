#include "FolderLock.h"

#include <QDir>

FolderLock::FolderLock(const QString& programDir)
    : m_programDir(programDir), m_lock(QDir(programDir).filePath(QString::fromLatin1(FileName)))
{
    // Only a dead owner makes a lock stale, never its age: a service runs for months.
    m_lock.setStaleLockTime(0);
}

QString FolderLock::take()
{
    if (m_lock.tryLock(0) || m_lock.error() != QLockFile::LockFailedError)
        return {};
    qint64 pid = 0;
    QString host;
    QString application;
    m_lock.getLockInfo(&pid, &host, &application);
    return QStringLiteral("Another Wendro (process %1) is running in the program folder %2. "
                          "Only one program may use a program folder: stop the other one, or "
                          "give this one a folder of its own with --dir.")
        .arg(pid)
        .arg(QDir::toNativeSeparators(m_programDir));
}
