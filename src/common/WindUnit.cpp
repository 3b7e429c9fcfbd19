#include "WindUnit.h"

namespace {

struct Unit
{
    const char* name;
    double metresPerSecond;
    const char* spellings[5];
};

const Unit units[] = {
    {"m/s", 1.0, {"m/s"}},
    {"km/h", 1 / 3.6, {"km/h"}},
    {"mph", 0.44704, {"mph"}},
    {"kn", 1852 / 3600.0, {"kn", "knot", "knots", "kt", "kts"}},
    {"ft/s", 0.3048, {"ft/s"}},
};

const Unit* find(const QString& text)
{
    const QString name = text.trimmed().toLower();
    for (const Unit& unit : units) {
        for (const char* spelling : unit.spellings) {
            if (spelling && name == QLatin1String(spelling))
                return &unit;
        }
    }
    return nullptr;
}

} // namespace

QString WindUnit::canonical(const QString& text)
{
    const Unit* unit = find(text);
    return unit ? QString::fromLatin1(unit->name) : QString();
}

std::optional<double> WindUnit::metresPerSecond(const QString& text)
{
    const Unit* unit = find(text);
    return unit ? std::optional<double>(unit->metresPerSecond) : std::nullopt;
}
