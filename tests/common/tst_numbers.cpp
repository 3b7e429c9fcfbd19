#include "common/NumberParse.h"
#include "common/NumberText.h"
#include "common/Rounding.h"

#include <QtTest>

class TestNumbers : public QObject
{
    Q_OBJECT

private slots:
    void rounding_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("expected");
        // Halves go to the even neighbour, not away from zero.
        QTest::newRow("0.125 to 2 is 0.12") << 0.125 << 2 << 0.12;
        QTest::newRow("0.25 to 1 is 0.2") << 0.25 << 1 << 0.2;
        QTest::newRow("0.75 to 1 is 0.8") << 0.75 << 1 << 0.8;
        QTest::newRow("2.5 to 0 is 2") << 2.5 << 0 << 2.0;
        QTest::newRow("3.5 to 0 is 4") << 3.5 << 0 << 4.0;
        QTest::newRow("-2.5 to 0 is -2") << -2.5 << 0 << -2.0;
        QTest::newRow("-25.6 stays") << -25.6 << 2 << -25.6;
        QTest::newRow("plain rounding up") << 12.346 << 2 << 12.35;
    }
    void rounding()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(double, expected);
        QCOMPARE(roundHalfEven(value, decimals), expected);
    }

    // A tiny negative value must not come back as -0, which would print as "-0".
    void roundingNeverGivesNegativeZero()
    {
        QVERIFY(!std::signbit(roundHalfEven(-0.001, 2)));
    }

    void int16_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<int>("expected");
        QTest::newRow("2.5") << 2.5 << true << 2;
        QTest::newRow("3.5") << 3.5 << true << 4;
        QTest::newRow("max") << 32767.0 << true << 32767;
        QTest::newRow("min") << -32768.0 << true << -32768;
        QTest::newRow("over") << 32767.6 << false << 0;
        QTest::newRow("under") << -40000.0 << false << 0;
        QTest::newRow("inf") << qInf() << false << 0;
    }
    void int16()
    {
        QFETCH(double, value);
        QFETCH(bool, fits);
        QFETCH(int, expected);
        const auto result = toInt16(value);
        QCOMPARE(result.has_value(), fits);
        if (fits)
            QCOMPARE(int(*result), expected);
    }

    void numberText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("12.5") << 12.5 << "12.5";
        QTest::newRow("13.87") << 13.87 << "13.87";
        QTest::newRow("leading zero") << 0.25 << "0.25";
        QTest::newRow("integral") << 240.0 << "240";
        QTest::newRow("negative") << -3.25 << "-3.25";
        QTest::newRow("small") << 0.000123 << "0.000123";
        QTest::newRow("large, no exponent") << 1.5e17 << "150000000000000000";
        QTest::newRow("15 significant digits") << (1.0 / 3.0) << "0.333333333333333";
        QTest::newRow("running watt-hours") << 0.043402777777777776 << "0.0434027777777778";
        QTest::newRow("binary noise hidden") << (0.1 + 0.2) << "0.3";
    }
    void numberText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(NumberText(value), text);
    }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<double>("value");
        QTest::newRow("integer") << "625" << true << 625.0;
        QTest::newRow("blanks around") << " \t12.5 " << true << 12.5;
        QTest::newRow("plus sign") << "+3" << true << 3.0;
        QTest::newRow("minus sign") << "-20" << true << -20.0;
        QTest::newRow("bare fraction") << ".5" << true << 0.5;
        QTest::newRow("trailing point") << "5." << true << 5.0;
        QTest::newRow("exponent") << "1.5e2" << true << 150.0;
        QTest::newRow("signed exponent") << "25E-1" << true << 2.5;
        QTest::newRow("tiny becomes zero") << "1e-400" << true << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("blanks only") << "   " << false << 0.0;
        QTest::newRow("letters") << "abc" << false << 0.0;
        QTest::newRow("sign only") << "-" << false << 0.0;
        QTest::newRow("point only") << "." << false << 0.0;
        QTest::newRow("exponent without digits") << "1e" << false << 0.0;
        QTest::newRow("inner blank") << "1 2" << false << 0.0;
        QTest::newRow("comma separator") << "12,5" << false << 0.0;
        QTest::newRow("hex") << "0x10" << false << 0.0;
        QTest::newRow("too large for a double") << "1e400" << false << 0.0;
        QTest::newRow("infinity word") << "inf" << false << 0.0;
        QTest::newRow("non-ASCII digit") << QString::fromUtf8("\u0661") << false << 0.0;
        QTest::newRow("newline inside tag") << "12\r\n" << false << 0.0;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(bool, isNumber);
        QFETCH(double, value);
        const auto result = parseNumber(text);
        QCOMPARE(result.has_value(), isNumber);
        if (isNumber)
            QCOMPARE(*result, value);
    }

    void timeOfDay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("minutes"); // -1: not a time of day
        QTest::newRow("midnight") << "00:00" << 0;
        QTest::newRow("last minute") << "23:59" << 23 * 60 + 59;
        QTest::newRow("single digits") << "9:5" << 9 * 60 + 5;
        QTest::newRow("hour 24") << "24:00" << -1;
        QTest::newRow("hour 25") << "25:00" << -1;
        QTest::newRow("minute 60") << "12:60" << -1;
        QTest::newRow("no minutes") << "12:" << -1;
        QTest::newRow("no colon") << "1200" << -1;
        QTest::newRow("seconds") << "12:00:00" << -1;
        QTest::newRow("negative") << "-1:00" << -1;
        QTest::newRow("letters") << "ab:cd" << -1;
    }
    void timeOfDay()
    {
        QFETCH(QString, text);
        QFETCH(int, minutes);
        const auto result = parseTimeOfDay(text);
        QCOMPARE(result.value_or(-1), minutes);
    }

    void date_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected"); // invalid: not a date
        QTest::newRow("plain") << "7/3/2010" << QDate(2010, 3, 7);
        QTest::newRow("leading zeros") << "07/03/2010" << QDate(2010, 3, 7);
        QTest::newRow("leap day") << "29/2/2012" << QDate(2012, 2, 29);
        QTest::newRow("no leap day") << "29/2/2011" << QDate();
        QTest::newRow("31 February") << "31/2/2010" << QDate();
        QTest::newRow("month 13") << "1/13/2010" << QDate();
        QTest::newRow("day 0") << "0/1/2010" << QDate();
        QTest::newRow("letters") << "a/b/c" << QDate();
        QTest::newRow("missing year") << "1/1/" << QDate();
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
