#pragma once

#include <QString>

// The text form of every number written to a file or shown: plain decimal, at most 15
// significant digits, no exponent, no trailing zeros, a leading 0 and a full stop.
QString NumberText(double value);
