#include "common/NumberParse.h"
#include "common/NumberText.h"
#include "common/Rounding.h"

#include <QtTest>

class TestNumbers : public QObject
{
    Q_OBJECT

private slots:
    // Halves rounded away from zero, a tiny negative coming back as -0, or an exponent, binary
    // noise, trailing zeros or "-0" in a file or on screen.
    void shownNumbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals"); // -1: not rounded
        QTest::addColumn<QString>("text");
        QTest::newRow("0.125 to 2") << 0.125 << 2 << "0.12";
        QTest::newRow("0.25 to 1") << 0.25 << 1 << "0.2";
        QTest::newRow("-2.5 to 0") << -2.5 << 0 << "-2";
        QTest::newRow("12.346 to 2") << 12.346 << 2 << "12.35";
        QTest::newRow("-0.001 to 2") << -0.001 << 2 << "0";
        QTest::newRow("negative zero") << -0.0 << -1 << "0";
        QTest::newRow("leading zero") << 0.25 << -1 << "0.25";
        QTest::newRow("large, no exponent") << 1.5e17 << -1 << "150000000000000000";
        QTest::newRow("15 significant digits") << (1.0 / 3.0) << -1 << "0.333333333333333";
        QTest::newRow("binary noise hidden") << (0.1 + 0.2) << -1 << "0.3";
    }
    void shownNumbers()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(QString, text);
        const double shown = decimals < 0 ? value : roundHalfEven(value, decimals);
        QCOMPARE(NumberText(shown), text);
        if (decimals >= 0) // the text hides -0, but sums and comparisons do not
            QVERIFY(!std::signbit(shown) || shown < 0);
    }

    // A lenient parser (locale comma, hex, "inf", Arabic digits, line breaks) lets junk
    // through as numbers; a too strict one refuses what the device and users write.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value"); // NaN: not a number
        const double no = qQNaN();
        QTest::newRow("blanks around") << " \t12.5 " << 12.5;
        QTest::newRow("plus sign") << "+3" << 3.0;
        QTest::newRow("bare fraction") << ".5" << 0.5;
        QTest::newRow("signed exponent") << "25E-1" << 2.5;
        QTest::newRow("exponent without digits") << "1e" << no;
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

    // Times and dates out of range are refused, not rolled over; one-digit boxes are fine.
    void timesAndDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // minutes or ISO date; empty: refused
        const auto row = [](const char* text, const char* read) {
            QTest::newRow(text) << QString(text) << QString(read);
        };
        row("9:5", "545");
        row("24:00", "");
        row("12:", "");
        row("12:00:00", "");
        row("-1:00", "");
        row("07/03/2010", "2010-03-07");
        row("29/2/2012", "2012-02-29");
        row("29/2/2011", "");
        row("1/13/2010", "");
    }
    void timesAndDates()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        const int minutes = parseTimeOfDay(text).value_or(-1);
        if (text.contains(':'))
            QCOMPARE(minutes < 0 ? QString() : QString::number(minutes), read);
        else
            QCOMPARE(parseDate(text).value_or(QDate()).toString(Qt::ISODate), read);
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
