#include "NumberParse.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

qsizetype skipDigits(QByteArrayView text, qsizetype pos)
{
    while (pos < text.size() && isDigit(text[pos]))
        ++pos;
    return pos;
}

// A whole number of 1 or 2 digits, nothing else.
std::optional<int> smallNumber(const QString& text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

} // namespace

std::optional<double> parseNumber(QByteArrayView text)
{
    qsizetype pos = 0;
    qsizetype end = text.size();
    while (pos < end && isBlank(text[pos]))
        ++pos;
    while (end > pos && isBlank(text[end - 1]))
        --end;
    text = text.first(end);

    // Check the grammar first; from_chars then gets the text without the forms it refuses
    // (a leading "+", a bare fraction such as ".5").
    bool negative = false;
    if (pos < end && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    const qsizetype integerBegin = pos;
    pos = skipDigits(text, pos);
    const qsizetype integerEnd = pos;
    qsizetype fractionBegin = pos;
    qsizetype fractionEnd = pos;
    if (pos < end && text[pos] == '.') {
        fractionBegin = ++pos;
        pos = fractionEnd = skipDigits(text, pos);
    }
    if (integerBegin == integerEnd && fractionBegin == fractionEnd)
        return std::nullopt;
    bool negativeExponent = false;
    if (pos < end && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < end && (text[pos] == '+' || text[pos] == '-'))
            negativeExponent = text[pos++] == '-';
        const qsizetype digits = pos;
        pos = skipDigits(text, pos);
        if (pos == digits)
            return std::nullopt;
    }
    if (pos != end)
        return std::nullopt;

    // Whole numbers of up to 15 digits, what the logger sends, are exact as doubles.
    if (fractionBegin == fractionEnd && pos == integerEnd && integerEnd - integerBegin <= 15) {
        long long whole = 0;
        for (qsizetype i = integerBegin; i < integerEnd; ++i)
            whole = whole * 10 + (text[i] - '0');
        return whole == 0 ? 0.0 : (negative ? -double(whole) : double(whole));
    }

    std::string normal;
    normal.reserve(static_cast<size_t>(end - integerBegin) + 2);
    if (negative)
        normal += '-';
    if (integerBegin == integerEnd)
        normal += '0';
    normal.append(text.data() + integerBegin, static_cast<size_t>(end - integerBegin));

    double value = 0.0;
    const auto result = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        return negativeExponent ? std::optional<double>(0.0) : std::nullopt;
    if (result.ec != std::errc() || result.ptr != normal.data() + normal.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value == 0.0 ? 0.0 : value;
}

std::optional<double> parseNumber(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
    }
    return parseNumber(QByteArrayView(text.toLatin1()));
}

std::optional<int> parseTimeOfDay(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.size() != 2)
        return std::nullopt;
    const auto hours = smallNumber(parts[0], 2);
    const auto minutes = smallNumber(parts[1], 2);
    if (!hours || !minutes || *hours > 23 || *minutes > 59)
        return std::nullopt;
    return *hours * 60 + *minutes;
}

std::optional<QDate> parseDate(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('/'));
    if (parts.size() != 3)
        return std::nullopt;
    const auto day = smallNumber(parts[0].trimmed(), 2);
    const auto month = smallNumber(parts[1].trimmed(), 2);
    const auto year = smallNumber(parts[2].trimmed(), 4);
    if (!day || !month || !year || *year < 1)
        return std::nullopt;
    const QDate date(*year, *month, *day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}
