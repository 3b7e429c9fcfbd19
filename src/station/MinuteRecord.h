#pragma once

#include "station/MinuteStore.h"

#include <QDateTime>
#include <QVector>

// The minute record beside the daily log: the frames of each minute averaged into one row of
// logs/minutes.sqlite, written when the minute is over. A database that cannot be opened or
// written stops nothing: its rows wait (a week of them at most, the oldest dropped first and
// said) and go in once it works again.
class MinuteRecord
{
public:
    static constexpr int MaxWaiting = 7 * 24 * 60;

    explicit MinuteRecord(QString programDir);

    // A converted frame, in the minute the station's clock says.
    void add(const QDateTime& now, const Reading& reading, const QString& windUnit);
    // Called every few seconds: a minute that is over is written even when no frame follows.
    void tick(const QDateTime& now);
    // The minute under way is written too, as the program ends.
    void finish(const QDateTime& now);

    // What is wrong with the record now, one line; empty when all is well.
    QString status() const;
    int waiting() const { return int(m_waiting.size()); }

private:
    void close(const QDate& today);
    void store(const QDate& today);

    QString m_path;
    MinuteStore m_store;
    MinuteAverages m_minute;
    qint64 m_minuteStart = 0;
    QVector<MinuteRow> m_waiting;
    int m_dropped = 0;
    QString m_problem;
    QString m_note;
    QString m_unitProblem;
};
