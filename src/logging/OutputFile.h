#pragma once

#include "OutputFailure.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A file below the program folder that a tick writes. Folders belong to the installation, so
// nothing here creates one; every failure is added to the list with the file's relative name.
class OutputFile
{
public:
    OutputFile(const QString& programDir, const QString& relativePath);

    QString relativePath() const { return m_relativePath; }
    bool exists() const;

    // Opens for appending, creating the file but not its folder, writes and closes. The file
    // is never read; a write that fails part way is cut back so no broken line stays.
    bool append(const QByteArray& bytes, QList<OutputFailure>& failures) const;
    // Replaces the whole file through a temporary one, so a reader never sees half of it.
    bool replace(const QByteArray& bytes, QList<OutputFailure>& failures) const;
    bool read(QByteArray* bytes, QList<OutputFailure>& failures) const;

private:
    void fail(const QString& reason, QList<OutputFailure>& failures) const;
    // The words for a file that would not open: a missing folder is named, else the
    // system's own reason.
    QString openFailure(const QString& systemReason) const;

    QString m_path;
    QString m_relativePath;
};
