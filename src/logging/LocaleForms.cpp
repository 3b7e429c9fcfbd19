#include "LocaleForms.h"

namespace {

// What is left dangling when the zone field goes: the blank in "HH:mm:ss t", the comma in
// "h:mm:ss AP, t", the brackets in "H:mm:ss (t)". Other marks may belong to a word ("'ч'.").
bool isLooseSeparator(QChar c)
{
    return c.isSpace() || QStringLiteral("()[],").contains(c);
}

} // namespace

QString LocaleForms::longTime(const QLocale& locale, const QTime& time)
{
    return locale.toString(time, longTimeFormat(locale));
}

QString LocaleForms::longTimeFormat(const QLocale& locale)
{
    return withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

QString LocaleForms::shortDate(const QLocale& locale, const QDate& date)
{
    if (locale.language() == QLocale::C)
        return locale.toString(date, QStringLiteral("dd/MM/yyyy"));
    return locale.toString(date, QLocale::ShortFormat);
}

QString LocaleForms::withoutTimeZone(const QString& format)
{
    // Find the first run of 't' outside quoted text ('' inside quotes is a literal quote,
    // which toggling twice handles).
    qsizetype zone = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size() && zone < 0; ++i) {
        if (format[i] == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && format[i] == QLatin1Char('t'))
            zone = i;
    }
    if (zone < 0)
        return format;
    qsizetype zoneEnd = zone;
    while (zoneEnd < format.size() && format[zoneEnd] == QLatin1Char('t'))
        ++zoneEnd;

    qsizetype cutBegin = zone;
    while (cutBegin > 0 && isLooseSeparator(format[cutBegin - 1]))
        --cutBegin;
    qsizetype cutEnd = zoneEnd;
    while (cutEnd < format.size() && isLooseSeparator(format[cutEnd]))
        ++cutEnd;
    // Between two fields, keep the separator before the zone so the fields stay apart.
    if (cutBegin > 0 && cutEnd < format.size())
        cutBegin = zone;
    return withoutTimeZone(format.left(cutBegin) + format.mid(cutEnd));
}
