#include "TurbineConfig.h"

#include "ConfigFile.h"
#include "ConfigKeys.h"
#include "TagValue.h"

#include <QDir>
#include <QRegularExpression>

namespace {

std::optional<double> positive(const QString& text)
{
    const auto value = parseNumber(text);
    if (!value || *value <= 0)
        return std::nullopt;
    return value;
}

// "3:0 4:45 5:95 ...": pairs of m/s and watts, speeds rising, at least two of them.
std::optional<QVector<QPointF>> curve(const QString& text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QVector<QPointF> points;
    for (const QString& pair : text.split(blanks, Qt::SkipEmptyParts)) {
        const QStringList parts = pair.split(QLatin1Char(':'));
        if (parts.size() != 2)
            return std::nullopt;
        const auto wind = parseNumber(parts[0]);
        const auto watts = parseNumber(parts[1]);
        if (!wind || !watts || *wind < 0 || (!points.isEmpty() && *wind <= points.last().x()))
            return std::nullopt;
        points.append({*wind, *watts});
    }
    if (points.size() < 2)
        return std::nullopt;
    return points;
}

} // namespace

QString TurbineConfig::path(const QString& programDir)
{
    return QDir(programDir).filePath(QString::fromLatin1(ConfigKeys::TurbineFile));
}

TurbineConfig TurbineConfig::load(const QString& programDir)
{
    QString error;
    bool missing = false;
    const auto text = ConfigFile::read(path(programDir), &error, &missing);
    if (text)
        return parse(*text);
    TurbineConfig config;
    if (!missing)
        config.readError = error;
    return config;
}

TurbineConfig TurbineConfig::parse(const QString& text)
{
    TurbineConfig config;
    // A key that is there but not read is named, and its default kept.
    const auto read = [&](const char* name, auto parse, auto& into) {
        const auto value = TagValue(text, QString::fromLatin1(name));
        if (!value)
            return;
        if (const auto parsed = parse(*value))
            into = *parsed;
        else
            config.damagedKeys << QString::fromLatin1(name);
    };
    read(ConfigKeys::RotorDiameter, positive, config.rotorDiameter);
    read(ConfigKeys::AirDensity, positive, config.airDensity);
    read(ConfigKeys::MakerCurve, curve, config.makerCurve);
    return config;
}

QString TurbineConfig::problem() const
{
    const QString file = QString::fromLatin1(ConfigKeys::TurbineFile);
    if (!readError.isEmpty())
        return QStringLiteral("%1: %2").arg(file, readError);
    if (damagedKeys.isEmpty())
        return {};
    QStringList named;
    for (const QString& key : damagedKeys) {
        const char* form = key == QLatin1String(ConfigKeys::MakerCurve)
                               ? "m/s:W pairs, speeds rising"
                               : key == QLatin1String(ConfigKeys::AirDensity)
                                     ? "a positive number of kg/m³"
                                     : "a positive number of metres";
        named << QStringLiteral("%1 (%2)").arg(key, QString::fromUtf8(form));
    }
    return QStringLiteral("%1: left out, not read as numbers: %2")
        .arg(file, named.join(QStringLiteral(", ")));
}

double TurbineConfig::makerPower(double wind) const
{
    if (makerCurve.size() < 2 || wind < makerCurve.first().x() || wind > makerCurve.last().x())
        return 0;
    for (int i = 1; i < makerCurve.size(); ++i) {
        const QPointF& a = makerCurve[i - 1];
        const QPointF& b = makerCurve[i];
        if (wind <= b.x())
            return a.y() + (b.y() - a.y()) * (wind - a.x()) / (b.x() - a.x());
    }
    return 0;
}
