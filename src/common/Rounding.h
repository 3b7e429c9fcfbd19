#pragma once

#include <QtGlobal>
#include <optional>

// Rounds to n decimals: scale by 10^n, round the product with halves to even, scale back.
// A result of -0 comes back as 0 so that it never prints as "-0".
double roundHalfEven(double value, int decimals);

// A double as a 16-bit integer, halves to even; nothing when it does not fit or is not finite.
std::optional<qint16> toInt16(double value);
