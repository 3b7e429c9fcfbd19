#pragma once

#include "HistoryData.h"

#include <QDate>
#include <QByteArray>
#include <QString>
#include <QVector>

// The seven boxes of the history window, as typed.
struct HistoryQueryInput
{
    QString DateY1;
    QString DateM1;
    QString DateD1;
    QString Time1h;
    QString Time1m;
    QString Time2h;
    QString Time2m;
};

// The tag texts of one stored record, exactly as its log line has them; empty where a tag is
// missing.
struct RecordTexts
{
    QByteArray time, volts, amps, watts, rpm, wind, mode;
};

// Reads one day's log back into the history arrays for the records strictly inside a time
// window. It only ever reads: no file or folder is created or changed.
class HistoryQuery
{
public:
    enum class Outcome {
        Loaded,       // records stored, view set to all of them: draw
        BadStartTime, // the three input checks, in the order they run; nothing changed
        BadFinishTime,
        BadDate,
        NoData,     // HistoryCount 0, not zoomed, arrays and view untouched
        TooMany,    // HistoryCount 10000, 1..9999 filled, not zoomed, view untouched
        Unreadable, // the day's file exists but cannot be read; as NoData
    };

    struct Result
    {
        Outcome outcome = Outcome::NoData;
        // The text of the OK-only message box; empty when the graph is to be drawn.
        QString message;
        bool draw() const { return outcome == Outcome::Loaded; }
    };

    // With texts, the tag texts of each stored record are kept too, in the same order.
    static Result run(const HistoryQueryInput& input, const QString& programDir, HistoryData& data,
                      QVector<RecordTexts>* texts = nullptr);

    // programDir + "/logs/" + Y_M_D + ".txt", the numbers without leading zeros.
    static QString logPath(const QString& programDir, const QDate& day);

    static QString tooManyMessage();
};
