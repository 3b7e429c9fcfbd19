#pragma once

#include "HistoryData.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>
#include <QVector>
#include <optional>
#include <variant>

// The seven boxes of the history window, as typed.
struct HistoryQueryInput
{
    QString year;
    QString month;
    QString day;
    QString fromHour;
    QString fromMinute;
    QString toHour;
    QString toMinute;
};

// A day and the time window whose records a query reads, to the minute.
struct HistoryRange
{
    QDate day;
    QTime from;
    QTime to;
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

    // The range asked for, or the Result of the first input check that failed.
    using Checked = std::variant<HistoryRange, Result>;

    // The input checks every caller goes through, in this order: start time, finish time,
    // date. Times as "H:M"; each caller reads the date in its own form.
    static Checked check(const QString& from, const QString& to, const std::optional<QDate>& day);
    // The window's boxes, the date read as D/M/Y.
    static Checked parseInput(const HistoryQueryInput& input);

    // Reads the records strictly between from and to (seconds ignored). With texts, the tag
    // texts of each stored record are kept too, in the same order.
    static Result run(const QString& programDir, const QDate& day, const QTime& from,
                      const QTime& to, HistoryData& data, QVector<RecordTexts>* texts = nullptr);

    // programDir + "/logs/" + Y_M_D + ".txt", the numbers without leading zeros.
    static QString logPath(const QString& programDir, const QDate& day);

    static QString tooManyMessage();
};
