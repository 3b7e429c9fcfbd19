#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QMap>
#include <QString>

// The watt-hours of every day, kept in logs/energy.txt as "YYYY-MM-DD <watt-hours>" lines
// ending in CR LF, so that a restart goes on from the day's count and past days stay. A third
// column, "<kWh produced>", holds the lifetime production as it stood when the day was last
// saved; lines written before it existed have two columns and still read.
class DayEnergy
{
public:
    static constexpr char FileName[] = "logs/energy.txt";

    // Reads the file; a missing one is an empty record. Returns what to tell the user: each
    // damaged line by number (it is kept in the file as it is, but not used), or why the
    // file could not be read; empty when all is well.
    QString load(const QString& programDir);
    // Replaces the file whole, so a power cut leaves the old one. Returns the reason on
    // failure, empty on success.
    QString save(const QString& programDir) const;

    double total(const QDate& day) const { return m_days.value(day, 0.0); }
    // True when that changes what the file would hold.
    bool set(const QDate& day, double wattHours);
    const QMap<QDate, double>& days() const { return m_days; }
    // Kilowatt-hours produced since the first count: the highest any line holds, 0 for none.
    double produced() const { return m_produced.isEmpty() ? 0.0 : m_producedMax; }
    // Records the lifetime production on that day's line; true when the file would change.
    bool setProduced(const QDate& day, double kilowattHours);

    QByteArray fileText() const;

private:
    QMap<QDate, double> m_days;
    QMap<QDate, double> m_produced;
    double m_producedMax = 0;
    QList<QByteArray> m_damaged;
};
