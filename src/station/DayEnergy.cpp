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
    m_damaged.clear();
    const QString name = QString::fromLatin1(FileName);
    QFile file(QDir(programDir).filePath(name));
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2; the day's count starts from 0").arg(name, file.errorString());
    const QList<QByteArray> lines = file.readAll().split('\n');
    QStringList problems;
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QString text = QString::fromUtf8(line);
        const int space = text.indexOf(QLatin1Char(' '));
        const QDate day = QDate::fromString(text.left(space), dateFormat);
        const auto wattHours = space == 10 ? parseNumber(text.mid(space + 1)) : std::nullopt;
        if (!day.isValid() || !wattHours || !std::isfinite(*wattHours)) {
            problems << QStringLiteral("%1 line %2 is not a date and watt-hours, skipped: \"%3\"")
                            .arg(name)
                            .arg(i + 1)
                            .arg(text.left(80));
            m_damaged << line;
            continue;
        }
        m_days.insert(day, *wattHours);
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

QByteArray DayEnergy::fileText() const
{
    QByteArray out;
    for (auto day = m_days.cbegin(); day != m_days.cend(); ++day)
        out += (day.key().toString(dateFormat) + QLatin1Char(' ') + NumberText(day.value()))
                   .toUtf8() +
               "\r\n";
    // Lines we could not read stay for the owner to mend.
    for (const QByteArray& line : m_damaged)
        out += line + "\r\n";
    return out;
}

QString DayEnergy::save(const QString& programDir) const
{
    const QString reason =
        ConfigFile::writeAtomically(QDir(programDir).filePath(QString::fromLatin1(FileName)),
                                    fileText());
    return reason.isEmpty() ? QString() : QString::fromLatin1(FileName) + QStringLiteral(": ") + reason;
}
