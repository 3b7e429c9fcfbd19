#pragma once

#include "OutputFailure.h"
#include "OutputFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

// Lines a tick could not append (full disk, read-only or missing folder), kept in order per
// file and written out by a later tick, so a fault that clears loses no record, even one of
// a day that has passed. Past Cap bytes the oldest lines are dropped: a fault that never
// clears costs bounded memory.
class OutputBacklog
{
public:
    static constexpr qsizetype Cap = 8 * 1024 * 1024;

    // Appends the lines held for the file and then bytes, in one write; when that fails,
    // bytes are held too.
    bool append(const OutputFile& file, const QByteArray& bytes, QList<OutputFailure>& failures);
    // Tries the files held for that no append has tried since the last flush, such as the
    // file of a day that has passed; a file that still fails is reported.
    void flush(QList<OutputFailure>& failures);
    // One more try of every file held, as the program ends.
    void flushAll(QList<OutputFailure>& failures);
    // Without a backlog the bytes are appended, or lost, at once.
    static bool append(OutputBacklog* backlog, const OutputFile& file, const QByteArray& bytes,
                       QList<OutputFailure>& failures);

    bool holds(const QString& relativePath) const;
    bool isEmpty() const { return m_held.empty(); }
    // True once lines had to be dropped to stay under Cap.
    bool dropped() const { return m_dropped; }

private:
    struct Held
    {
        OutputFile file;
        QList<QByteArray> lines;
        bool tried = false;
    };

    void trim();

    std::vector<Held> m_held; // in the order the files first failed
    qsizetype m_size = 0;
    bool m_dropped = false;
};
