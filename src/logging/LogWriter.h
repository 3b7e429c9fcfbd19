#pragma once

#include "OutputBacklog.h"
#include "OutputFailure.h"
#include "config/ProgramConfig.h"
#include "device/Reading.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

// The file work of one logging tick: the day's log record, then the web files when Savehtml
// is on, then the spreadsheet row when SaveExcel is on. Every file is opened, written and
// closed within the call. A failed step is reported and the later steps still run; with a
// backlog, lines that could not be appended are kept and written at a later tick.
// The peaks are left for the caller to reset.
class LogWriter
{
public:
    struct Result
    {
        QList<OutputFailure> failures;
        bool kept = false;    // lines are held in the backlog
        bool dropped = false; // the backlog overflowed and lost its oldest lines

        bool ok() const { return failures.isEmpty(); }
        // One status line naming every failed file and why; empty when all was written.
        QString describe() const;
    };

    static Result writeTick(const QString& programDir, const Reading& reading,
                            const ProgramConfig& config, const QDateTime& now,
                            const QLocale& locale, OutputBacklog* backlog = nullptr);
};
