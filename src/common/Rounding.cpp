#include "Rounding.h"

#include <cmath>
#include <limits>

double roundHalfEven(double value, int decimals)
{
    static constexpr double powers[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
    const double scale = decimals >= 0 && decimals < 5 ? powers[decimals] : std::pow(10.0, decimals);
    // nearbyint follows the default rounding mode, which rounds ties to even.
    const double rounded = std::nearbyint(value * scale) / scale;
    return rounded == 0.0 ? 0.0 : rounded;
}

std::optional<qint16> toInt16(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double whole = std::nearbyint(value);
    if (whole < std::numeric_limits<qint16>::min() || whole > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(whole);
}
