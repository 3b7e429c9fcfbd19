#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QMap>
#include <QString>

// The watt-hours of every day, kept in logs/energy.txt as "YYYY-MM-DD <watt-hours>" lines
// ending in CR LF, so that a restart goes on from the day's count and past days stay.
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

    QByteArray fileText() const;

private:
    QMap<QDate, double> m_days;
    QList<QByteArray> m_damaged;
};
