#include "OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>

OutputFile::OutputFile(const QString& programDir, const QString& relativePath)
    : m_path(QDir(programDir).filePath(relativePath)), m_relativePath(relativePath)
{
}

bool OutputFile::exists() const
{
    return QFileInfo::exists(m_path);
}

bool OutputFile::append(const QByteArray& bytes, QList<OutputFailure>& failures) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        fail(openFailure(file.errorString()), failures);
        return false;
    }
    const qint64 before = file.size();
    qint64 written = file.write(bytes);
    // A short write sets no error: the rest, written again, gives the system's reason.
    if (written >= 0 && written < bytes.size() && file.error() == QFileDevice::NoError) {
        const qint64 rest = file.write(bytes.mid(written));
        written += qMax<qint64>(rest, 0);
    }
    if (written == bytes.size())
        return true;
    const QString reason = file.errorString();
    file.resize(before);
    fail(reason, failures);
    return false;
}

bool OutputFile::replace(const QByteArray& bytes, QList<OutputFailure>& failures) const
{
    // Written beside the page and renamed over it, so a web server only ever sees a whole
    // page. Not flushed to disk first: the page is made again at every tick, and a flush
    // would cost the tick several milliseconds.
    const QString temporary = m_path + QStringLiteral(".new");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(openFailure(file.errorString()), failures);
        return false;
    }
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    const QString reason = file.errorString();
    file.close();
    if (!written) {
        QFile::remove(temporary);
        fail(reason, failures);
        return false;
    }
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(m_path).constData()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary);
        fail(why, failures);
        return false;
    }
    return true;
}

bool OutputFile::read(QByteArray* bytes, QList<OutputFailure>& failures) const
{
    QFile file(m_path);
    if (!file.exists()) {
        fail(openFailure(QStringLiteral("file not found")), failures);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        fail(file.errorString(), failures);
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fail(file.errorString(), failures);
        return false;
    }
    return true;
}

void OutputFile::fail(const QString& reason, QList<OutputFailure>& failures) const
{
    failures.append({m_relativePath, reason});
}

QString OutputFile::openFailure(const QString& systemReason) const
{
    const QFileInfo folder(QFileInfo(m_path).path());
    const QString folderName = QFileInfo(m_relativePath).path();
    if (!folder.exists())
        return QStringLiteral("folder %1 is missing").arg(folderName);
    if (!folder.isDir())
        return QStringLiteral("%1 is not a folder").arg(folderName);
    return systemReason;
}
