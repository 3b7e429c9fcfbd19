#pragma once

#include <QString>
#include <QStringList>

// What a configuration reader met: a file it could not read, keys whose tags were missing,
// keys whose text could not be used. The caller decides how to show it.
struct ConfigReport
{
    QString fileName;
    QString readError;       // empty when the file was read
    bool fileMissing = false;
    QStringList missingKeys; // default used in memory
    QStringList damagedKeys; // present but unusable; default used in memory

    bool clean() const { return readError.isEmpty() && missingKeys.isEmpty() && damagedKeys.isEmpty(); }
    // One line for a status bar, empty when clean.
    QString describe() const;
};
