#include "NumberText.h"

#include <cmath>
#include <charconv>
#include <cstdlib>
#include <string>

namespace {

// Values already rounded to two decimals, as nearly all shown and logged values are, are the
// nearest double to n/100; below 1e12 their 15-digit form is exactly n/100, so plain integer
// formatting gives the same text without the general conversion.
bool twoDecimalText(double value, QString* text)
{
    if (!(std::fabs(value) < 1e12))
        return false;
    const double scaled = std::nearbyint(value * 100.0);
    if (scaled / 100.0 != value)
        return false;
    long long hundredths = static_cast<long long>(scaled);
    char buffer[32];
    char* end = buffer + sizeof buffer;
    char* p = end;
    const bool negative = hundredths < 0;
    if (negative)
        hundredths = -hundredths;
    const int fraction = static_cast<int>(hundredths % 100);
    long long whole = hundredths / 100;
    if (fraction != 0) {
        if (fraction % 10 != 0)
            *--p = char('0' + fraction % 10);
        *--p = char('0' + fraction / 10);
        *--p = '.';
    }
    do {
        *--p = char('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    if (negative)
        *--p = '-';
    *text = QString::fromLatin1(p, end - p);
    return true;
}

} // namespace

QString NumberText(double value)
{
    if (!std::isfinite(value) || value == 0.0)
        return QStringLiteral("0");
    QString fast;
    if (twoDecimalText(value, &fast))
        return fast;

    // Scientific form with 15 significant digits gives the digits and the decimal exponent;
    // to_chars ignores the C locale, so the separator is always a full stop.
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer - 1, value,
                                       std::chars_format::scientific, 14);
    *written.ptr = '\0';
    std::string digits;
    const char* p = buffer;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            digits += *p;
    }
    const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string text;
    if (exponent < 0) {
        text = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else {
        const size_t integerDigits = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            text = digits + std::string(integerDigits - digits.size(), '0');
        } else {
            text = digits.substr(0, integerDigits) + "." + digits.substr(integerDigits);
        }
    }
    if (negative)
        text.insert(text.begin(), '-');
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
