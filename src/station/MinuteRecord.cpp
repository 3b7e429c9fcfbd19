#include "MinuteRecord.h"

#include "common/WindUnit.h"

#include <QFileInfo>

namespace {

// The UTC second at which the local minute of that moment began.
qint64 minuteStart(const QDateTime& now)
{
    const qint64 seconds = now.toSecsSinceEpoch();
    return seconds - ((seconds % 60) + 60) % 60;
}

} // namespace

MinuteRecord::MinuteRecord(QString programDir)
    : m_path(programDir + QLatin1Char('/') + QLatin1String(MinuteStore::FileName))
{
}

void MinuteRecord::add(const QDateTime& now, const Reading& reading, const QString& windUnit)
{
    const qint64 start = minuteStart(now);
    if (start != m_minuteStart)
        close(now.date());
    m_minuteStart = start;
    const auto factor = WindUnit::metresPerSecond(windUnit);
    m_unitProblem = factor ? QString()
                           : QStringLiteral("%1: the wind speed unit \"%2\" is none of m/s, km/h, "
                                            "mph, knots and ft/s, so the minute record keeps no "
                                            "wind")
                                 .arg(QLatin1String(MinuteStore::FileName), windUnit);
    m_minute.add(reading, factor ? std::optional<double>(reading.WindSpeed * *factor)
                                 : std::nullopt);
}

void MinuteRecord::tick(const QDateTime& now)
{
    if (!m_minute.isEmpty() && minuteStart(now) != m_minuteStart)
        close(now.date());
    else if (!m_waiting.isEmpty() && now.time().second() < 5)
        store(now.date()); // once a minute, a new try for rows a fault held back
}

void MinuteRecord::finish(const QDateTime& now)
{
    close(now.date());
    m_store.close();
}

void MinuteRecord::close(const QDate& today)
{
    if (m_minute.isEmpty())
        return;
    m_waiting.append(m_minute.row(m_minuteStart));
    m_minute = MinuteAverages();
    if (m_waiting.size() > MaxWaiting) {
        m_waiting.removeFirst();
        ++m_dropped;
    }
    store(today);
}

void MinuteRecord::store(const QDate& today)
{
    // A file removed under an open connection would swallow every row: start a new one.
    if (m_store.isOpen() && !QFileInfo(m_path).isFile())
        m_store.close();
    QString problem;
    m_note.clear(); // a file set aside is said for the minute it happened
    if (!m_store.isOpen())
        problem = m_store.open(m_path, today, &m_note);
    if (problem.isEmpty())
        problem = m_store.write(m_waiting);
    if (problem.isEmpty()) {
        m_waiting.clear();
        m_dropped = 0;
    } else {
        m_store.close();
    }
    m_problem = problem;
}

QString MinuteRecord::status() const
{
    QStringList lines;
    for (const QString& line : {m_note, m_unitProblem})
        if (!line.isEmpty())
            lines << line;
    if (!m_problem.isEmpty()) {
        QString line = m_problem + QStringLiteral(" (%1 minutes kept until it can be written")
                                       .arg(m_waiting.size());
        if (m_dropped > 0)
            line += QStringLiteral("; the oldest %1 dropped").arg(m_dropped);
        lines << line + QLatin1Char(')');
    }
    return lines.join(QLatin1Char('\n'));
}
