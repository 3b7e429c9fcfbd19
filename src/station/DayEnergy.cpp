#include "DayEnergy.h"

#include "common/NumberParse.h"
#include "common/NumberText.h"
#include "config/ConfigFile.h"

#include <QDir>
#include <QFile>
#include <cmath>

namespace {

const QString dateFormat = QStringLiteral("yyyy-MM-dd");

} // namespace

QString DayEnergy::load(const QString& programDir)
{
    m_days.clear();
    m_produced.clear();
    m_producedMax = 0;
    m_damaged.clear();
    const QString name = QString::fromLatin1(FileName);
    QFile file(QDir(programDir).filePath(name));
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2; the day's count starts from 0")
            .arg(name, file.errorString());
    const QList<QByteArray> lines = file.readAll().split('\n');
    QStringList problems;
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QString text = QString::fromUtf8(line);
        const QStringList fields = text.split(QLatin1Char(' '));
        const QDate day = QDate::fromString(fields.first(), dateFormat);
        const auto wattHours = fields.size() >= 2 ? parseNumber(fields[1]) : std::nullopt;
        // The lifetime production, when the line has it; -1 when it is not a count.
        const double produced = fields.size() == 3 ? parseNumber(fields[2]).value_or(-1) : 0;
        if (!day.isValid() || !wattHours || !std::isfinite(*wattHours) || fields.size() > 3 ||
            !(produced >= 0 && std::isfinite(produced))) {
            problems << QStringLiteral("%1 line %2 is not a date and watt-hours, skipped: \"%3\"")
                            .arg(name)
                            .arg(i + 1)
                            .arg(text.left(80));
            m_damaged << line;
            continue;
        }
        m_days.insert(day, *wattHours);
        if (fields.size() == 3)
            setProduced(day, produced);
    }
    return problems.join(QLatin1Char('\n'));
}

bool DayEnergy::set(const QDate& day, double wattHours)
{
    const auto found = m_days.constFind(day);
    if (found == m_days.constEnd() ? wattHours == 0 : *found == wattHours)
        return false;
    m_days.insert(day, wattHours);
    return true;
}

bool DayEnergy::setProduced(const QDate& day, double kilowattHours)
{
    const auto found = m_produced.constFind(day);
    if (found != m_produced.constEnd() && *found == kilowattHours)
        return false;
    m_produced.insert(day, kilowattHours);
    m_producedMax = std::max(m_producedMax, kilowattHours);
    // A day's line exists whenever its production does.
    if (!m_days.contains(day))
        m_days.insert(day, 0.0);
    return true;
}

QByteArray DayEnergy::fileText() const
{
    QByteArray out;
    for (auto day = m_days.cbegin(); day != m_days.cend(); ++day) {
        QString line = day.key().toString(dateFormat) + QLatin1Char(' ') + NumberText(day.value());
        if (const auto produced = m_produced.constFind(day.key()); produced != m_produced.cend())
            line += QLatin1Char(' ') + NumberText(*produced);
        out += line.toUtf8() + "\r\n";
    }
    // Lines we could not read stay for the owner to mend.
    for (const QByteArray& line : m_damaged)
        out += line + "\r\n";
    return out;
}

QString DayEnergy::save(const QString& programDir) const
{
    const QString reason = ConfigFile::writeAtomically(
        QDir(programDir).filePath(QString::fromLatin1(FileName)), fileText());
    return reason.isEmpty() ? QString()
                            : QString::fromLatin1(FileName) + QStringLiteral(": ") + reason;
}
