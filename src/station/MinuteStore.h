#pragma once

#include "analysis/MinuteAverages.h"

#include <QDate>
#include <QString>
#include <QVector>
#include <functional>

struct sqlite3;

// logs/minutes.sqlite, the minute record: one row of averages per minute, in a table the owner
// can read with any SQLite tool. WAL journal, synchronous NORMAL, PRAGMA user_version 1; a
// later layout comes only with a migration. Every statement binds its values.
class MinuteStore
{
public:
    static constexpr int Version = 1;
    static constexpr char FileName[] = "logs/minutes.sqlite";

    MinuteStore() = default;
    ~MinuteStore();
    MinuteStore(const MinuteStore&) = delete;
    MinuteStore& operator=(const MinuteStore&) = delete;

    // Opens the database, making it when there is none. A file that is no database, or a
    // damaged one, is renamed aside (minutes.sqlite.damaged-<date>) and a new one begun; what
    // was done is put in note. Returns why it cannot be used, empty when it can.
    QString open(const QString& path, const QDate& today, QString* note = nullptr);
    // Opens an existing database only to read it; a missing one is not made. Returns why it
    // cannot be read, empty when it can.
    QString openToRead(const QString& path);
    void close();
    bool isOpen() const { return m_db != nullptr; }

    // The rows in one transaction. A minute that has a row already (the clock was set back)
    // gets both parts combined. Returns the reason on failure, when nothing was written.
    QString write(const QVector<MinuteRow>& rows);
    // The values of a row besides its start. A year's read costs in proportion to the columns
    // read, so a reader names those it needs; the others are left at their defaults.
    enum Field : unsigned {
        Frames = 1 << 0,
        LoadFrames = 1 << 1,
        Wind = 1 << 2,
        WindMax = 1 << 3,
        WindSd = 1 << 4,
        Watts = 1 << 5,
        WattsMax = 1 << 6,
        Volts = 1 << 7,
        Amps = 1 << 8,
        Rpm = 1 << 9,
        AllFields = (1 << 10) - 1,
    };

    // Rows from start to before end, in order, handed to visit one at a time: a year of
    // minutes is read without holding it. Returns the reason on failure, empty otherwise.
    QString each(qint64 start, qint64 end, unsigned fields,
                 const std::function<void(const MinuteRow&)>& visit) const;
    QVector<MinuteRow> rows(qint64 start, qint64 end, QString* error = nullptr) const;

    // The rows of whole local days, from midnight of from to the midnight after to, in the
    // record of a program folder opened only to read; a folder with no record yet has no rows.
    static QString eachOfDays(const QString& programDir, const QDate& from, const QDate& to,
                              unsigned fields, const std::function<void(const MinuteRow&)>& visit);

private:
    QString prepare(const QString& path);
    QString failure(const char* what) const;

    sqlite3* m_db = nullptr;
    QString m_path;
};
