#pragma once

#include <QString>

// One output of a logging tick that could not be written: the file, relative to the program
// folder, and the reason in words.
struct OutputFailure
{
    QString file;
    QString reason;

    QString text() const { return file + QStringLiteral(": ") + reason; }
    bool operator==(const OutputFailure& other) const
    {
        return file == other.file && reason == other.reason;
    }
};
