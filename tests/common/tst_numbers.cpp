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
        QTest::newRow("-2.5 to 0") << -2.5 << 0 << "-2";
        QTest::newRow("-0.001 to 2") << -0.001 << 2 << "0";
        QTest::newRow("negative zero") << -0.0 << -1 << "0";
        QTest::newRow("large, no exponent") << 1.5e17 << -1 << "150000000000000000";
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
    // through as numbers; a too strict one refuses what the device and users write. Times and
    // dates out of range are refused, not rolled over; one-digit boxes are fine.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // the number, minutes or ISO date; empty: refused
        const auto row = [](const char* name, const QString& text, const char* read) {
            QTest::newRow(name) << text << QString(read);
        };
        row("blanks around", " \t12.5 ", "12.5");
        row("plus sign", "+3", "3");
        row("bare fraction", ".5", "0.5");
        row("signed exponent", "25E-1", "2.5");
        row("exponent without digits", "1e", "");
        row("hex", "0x10", "");
        row("too large for a double", "1e400", "");
        row("infinity word", "inf", "");
        row("non-ASCII digit", QString::fromUtf8("\u0661"), "");
        row("line break is not a blank", "12\r\n", "");
        for (const char* time : {"9:5", "24:00", "12:", "12:00:00", "-1:00"})
            row(time, time, time[0] == '9' ? "545" : "");
        row("29/2/2012", "29/2/2012", "2012-02-29");
        row("29/2/2011", "29/2/2011", "");
        row("1/13/2010", "1/13/2010", "");
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        const auto number = parseNumber(text);
        const auto minutes = parseTimeOfDay(text);
        if (text.contains(':'))
            QCOMPARE(minutes ? QString::number(*minutes) : QString(), read);
        else if (text.contains('/'))
            QCOMPARE(parseDate(text).value_or(QDate()).toString(Qt::ISODate), read);
        else
            QCOMPARE(number ? QString::number(*number, 'g', 17) : QString(), read);
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
