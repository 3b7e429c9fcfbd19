#include "common/NumberParse.h"
#include "common/NumberText.h"
#include "common/Rounding.h"
#include "config/ProgramConfig.h"
#include "support/ConfigBuilder.h"
#include "support/TempFolder.h"

#include <QtTest>

// Numbers and configuration files as people and older versions write them.
class TestConfig : public QObject
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

    // Ports and flags are numbers in text: halves go to even, and only the number 1 is on.
    void numericTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port"); // -1: no port
        QTest::addColumn<bool>("on");
        QTest::newRow("2.5") << "2.5" << 2 << false;
        QTest::newRow("3.5") << "3.5" << 4 << false;
        QTest::newRow("1.0 in blanks") << "\t1.0 " << 1 << true;
        QTest::newRow("COM1") << "COM1" << -1 << false;
        QTest::newRow("too large") << "70000" << -1 << false;
    }
    void numericTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        QFETCH(bool, on);
        const auto number = config().port(text).portNumber();
        QCOMPARE(number ? int(*number) : -1, port);
        QCOMPARE(ProgramConfig::isOn(text), on);
    }

    // Hand-edited files load clean: tags moved, notes around them, other capitals, the first of
    // two pairs, values not trimmed, single-byte text from older installations. A broken file
    // is named, falls back per key, and is not written back for the user.
    void load_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::addColumn<QString>("said");
        QTest::addColumn<ProgramConfig>("loaded");
        const auto row = [](const char* name, const QByteArray& bytes, const char* said,
                            const ProgramConfig& loaded) {
            QTest::newRow(name) << bytes << QString(said) << loaded;
        };
        const ProgramConfig saved = config().port("2").page();
        row("hand-edited",
            "notes first\n<WSUnits>m\xb5/s</WSUnits><DisplayWS>0</DisplayWS>\n<DisplayRPM>1.0"
            "</DisplayRPM> <LogOn>1</LogOn><LogDelay>abc</LogDelay><SaveExcel>1</SaveExcel>\n"
            "<Savehtml>0</Savehtml><port>9</port><Port> 3.5</Port><Port>7</Port>\ntrailing",
            "",
            config().port(" 3.5").spreadsheet().logEvery("abc").logAtStart().rpm("1.0").wind("0")
                .units("m\u00b5/s"));
        row("no file", {}, "prog.cfg: file not found", config());
        // The closing tag is searched from the start too, so one standing first hides the pair.
        row("closing tag first", "</Port>" + saved.fileText(),
            "prog.cfg: missing Port (defaults used)", config().page());
        row("not a number", saved.fileText().replace("<LogOn>0<", "<LogOn>X<"),
            "prog.cfg: not a number: LogOn (defaults used)", saved);
    }
    void load()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, said);
        QFETCH(ProgramConfig, loaded);
        const TempFolder dir;
        if (!bytes.isEmpty())
            dir.write("prog.cfg", bytes);
        ConfigReport report;
        QCOMPARE(ProgramConfig::load(dir.path(""), &report).fileText(), loaded.fileText());
        QCOMPARE(report.describe(), said);
        QCOMPARE(QFile::exists(dir.path("prog.cfg")), !bytes.isEmpty());
    }

    void saveIntoMissingFolderSaysSo()
    {
        const QString missing = TempFolder().path(""); // removed again at once
        QCOMPARE(ProgramConfig::defaults().save(missing), "folder " + missing + " is missing");
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
