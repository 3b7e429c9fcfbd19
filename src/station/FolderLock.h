#pragma once

#include <QLockFile>
#include <QString>

// One program per program folder: two would append to the same daily log. The lock is the
// file wendro.lock in the folder, held while the program runs; one left by a program that
// crashed is taken over.
class FolderLock
{
public:
    static constexpr char FileName[] = "wendro.lock";

    explicit FolderLock(const QString& programDir);

    // Empty when this program holds the folder now, or when the folder is read-only (it
    // writes nothing there anyway); otherwise what to tell the user.
    QString take();

private:
    QString m_programDir;
    QLockFile m_lock;
};
