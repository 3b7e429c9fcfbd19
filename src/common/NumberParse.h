#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <optional>

// Strict number grammar shared by frames, configuration files, log lines and typed boxes:
// blanks around, an optional sign, digits with an optional fraction, an optional exponent.
// The decimal separator is always a full stop, so files read back the same in every locale.
// A number too large for a double is not a number; one too small becomes 0.
std::optional<double> parseNumber(QByteArrayView text);
std::optional<double> parseNumber(const QString& text);

// "H:M" with hours 0-23 and minutes 0-59 (one or two digits each): minutes since midnight.
std::optional<int> parseTimeOfDay(const QString& text);

// "D/M/Y", a real calendar date.
std::optional<QDate> parseDate(const QString& text);
