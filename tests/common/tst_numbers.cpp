#include "common/NumberParse.h"
#include "common/NumberText.h"
#include "common/Rounding.h"

#include <QtTest>

class TestNumbers : public QObject
{
    Q_OBJECT

private slots:
    // Halves rounded away from zero, or a tiny negative coming back as -0 and printing "-0".
    void rounding_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("expected");
        QTest::newRow("0.125 to 2 is 0.12") << 0.125 << 2 << 0.12;
        QTest::newRow("0.25 to 1 is 0.2") << 0.25 << 1 << 0.2;
        QTest::newRow("0.75 to 1 is 0.8") << 0.75 << 1 << 0.8;
        QTest::newRow("-2.5 to 0 is -2") << -2.5 << 0 << -2.0;
        QTest::newRow("plain rounding up") << 12.346 << 2 << 12.35;
        QTest::newRow("no negative zero") << -0.001 << 2 << 0.0;
    }
    void rounding()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(double, expected);
        const double result = roundHalfEven(value, decimals);
        QCOMPARE(result, expected);
        QCOMPARE(std::signbit(result), std::signbit(expected));
    }

    // An exponent, binary noise, trailing zeros or "-0" in a file or on screen.
    void numberText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("leading zero") << 0.25 << "0.25";
        QTest::newRow("large, no exponent") << 1.5e17 << "150000000000000000";
        QTest::newRow("15 significant digits") << (1.0 / 3.0) << "0.333333333333333";
        QTest::newRow("binary noise hidden") << (0.1 + 0.2) << "0.3";
    }
    void numberText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(NumberText(value), text);
    }

    // A lenient parser (locale comma, hex, "inf", inner blanks, Arabic digits) lets junk
    // through as numbers; a too strict one refuses what the device and users write.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value"); // NaN: not a number
        const double no = qQNaN();
        QTest::newRow("blanks around") << " \t12.5 " << 12.5;
        QTest::newRow("plus sign") << "+3" << 3.0;
        QTest::newRow("bare fraction") << ".5" << 0.5;
        QTest::newRow("trailing point") << "5." << 5.0;
        QTest::newRow("signed exponent") << "25E-1" << 2.5;
        QTest::newRow("sign only") << "-" << no;
        QTest::newRow("exponent without digits") << "1e" << no;
        QTest::newRow("inner blank") << "1 2" << no;
        QTest::newRow("comma separator") << "12,5" << no;
        QTest::newRow("hex") << "0x10" << no;
        QTest::newRow("too large for a double") << "1e400" << no;
        QTest::newRow("infinity word") << "inf" << no;
        QTest::newRow("non-ASCII digit") << QString::fromUtf8("\u0661") << no;
        QTest::newRow("line break is not a blank") << "12\r\n" << no;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        const auto result = parseNumber(text);
        QCOMPARE(result.has_value(), !qIsNaN(value));
        if (result)
            QCOMPARE(*result, value);
    }

    // Out-of-range hours or minutes accepted, or one-digit boxes refused.
    void timeOfDay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("minutes"); // -1: not a time of day
        QTest::newRow("single digits") << "9:5" << 9 * 60 + 5;
        QTest::newRow("hour 24") << "24:00" << -1;
        QTest::newRow("no minutes") << "12:" << -1;
        QTest::newRow("seconds") << "12:00:00" << -1;
        QTest::newRow("negative") << "-1:00" << -1;
    }
    void timeOfDay()
    {
        QFETCH(QString, text);
        QFETCH(int, minutes);
        QCOMPARE(parseTimeOfDay(text).value_or(-1), minutes);
    }

    // Dates that do not exist rolled over to the next month instead of refused.
    void date_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected"); // invalid: not a date
        QTest::newRow("leading zeros") << "07/03/2010" << QDate(2010, 3, 7);
        QTest::newRow("leap day") << "29/2/2012" << QDate(2012, 2, 29);
        QTest::newRow("no leap day") << "29/2/2011" << QDate();
        QTest::newRow("month 13") << "1/13/2010" << QDate();
    }
    void date()
    {
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        QCOMPARE(parseDate(text).value_or(QDate()), expected);
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
