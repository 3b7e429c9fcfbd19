#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

// The locale's date and time forms as the web page and the spreadsheet show them. The
// locale is a parameter so that tests can pin one; the program passes QLocale::system().
class LocaleForms
{
public:
    // The long time form with seconds but without the time zone: 14:30:05 or 2:30:05 PM.
    static QString longTime(const QLocale& locale, const QTime& time);
    // The format longTime uses.
    static QString longTimeFormat(const QLocale& locale);

    // The short date form. The C locale's own short date is "27 Mar 2010", so there the
    // numeric dd/MM/yyyy is used instead.
    static QString shortDate(const QLocale& locale, const QDate& date);

private:
    static QString withoutTimeZone(const QString& format);
};
