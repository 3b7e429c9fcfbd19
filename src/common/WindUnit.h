#pragma once

#include <QString>
#include <optional>

// The wind speed units Wendro can convert, named as the owner may type them in prog.cfg
// (any case): m/s, km/h, mph, knots (knot, kn, kt, kts) and ft/s.
class WindUnit
{
public:
    // The usual spelling ("m/s", "km/h", "mph", "kn", "ft/s"); empty for a text that names
    // none of them.
    static QString canonical(const QString& text);
    // Metres per second in one of the unit; nothing for a text that names no unit.
    static std::optional<double> metresPerSecond(const QString& text);
};
