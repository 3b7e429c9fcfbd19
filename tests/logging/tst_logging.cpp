#include "logging/LocaleForms.h"
#include "logging/LogInterval.h"
#include "logging/LogRecord.h"
#include "logging/LogWriter.h"
#include "logging/WebPagePublisher.h"
#include "support/SettableClock.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

Reading peaks(double volts, double amps, double watts, double rpm, double wind, qint16 mode)
{
    Reading r;
    r.PeakVolts = volts;
    r.PeakAmps = amps;
    r.PeakWatts = watts;
    r.PeakRPM = rpm;
    r.PeakWindSpeed = wind;
    r.Mode = mode;
    r.WattHours = 1234.567890123449;
    return r;
}

const Reading example = peaks(13.2, 4.75, 62.7, 312.5, 6.3, 1);
const QDateTime afternoon(QDate(2010, 3, 27), QTime(14, 30, 5));
const QByteArray record = "<V>13.2</V><I>4.75</I><W>62.7</W><R>312.5</R><S>6.3</S><M>1</M>"
                          "<T>14:30</T>\r\n";
const QByteArray sheetRow = "<tr><td>13.2</td><td>4.75</td><td>62.7</td><td>312.5</td><td>6.3"
                            "</td><td>Load On</td><td>14:30:05</td></tr>\r\n\r\n";

QByteArray sheetHeader(const QByteArray& units)
{
    return "<html><body><table><tr><td><b>Volts</b></td><td><b>Amps</b></td><td><b>Watts</b>"
           "</td><td><b>RPM</b></td><td><b>" +
           units +
           "</b></td><td><b>Mode</b></td><td><b>"
           "Time</b></td></tr>\r\n\r\n";
}

QByteArray historyLine(const QByteArray& units, const QByteArray& mode)
{
    return "13.2V\t\t4.75A\t\t62.7W\t\t312.5RPM\t\t6.3" + units + "\t\t" + mode +
           "\t\t14:30:05\r\n";
}

ProgramConfig allOutputs(const char* windUnits = "km/h")
{
    ProgramConfig config = ProgramConfig::defaults();
    config.Savehtml = config.SaveExcel = QStringLiteral("1");
    config.WSUnits = QString::fromUtf8(windUnits);
    return config;
}

// A program folder as installed: logs, html with a template, Excel.
struct ProgramFolder
{
    QTemporaryDir dir;
    ProgramFolder()
    {
        for (const char* folder : {"logs", "html", "Excel"})
            QDir(dir.path()).mkdir(QString::fromLatin1(folder));
        write("html/template.asp", "<p><VV>V <MM> at <TT></p>");
    }
    QString path(const QString& relative = {}) const { return dir.filePath(relative); }
    QByteArray bytes(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString& relative, const QByteArray& bytes) const
    {
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    LogWriter::Result tick(const ProgramConfig& config, const QDateTime& now) const
    {
        return LogWriter::writeTick(dir.path(), example, config, now, QLocale::c());
    }
};

} // namespace

class TestLogging : public QObject
{
    Q_OBJECT

private slots:
    void texts()
    {
        // Tag order, number form, a zero-padded hour or the line end differing from what the
        // history query reads back.
        QCOMPARE(LogRecord(example, QTime(14, 30, 59)), record);
        QCOMPARE(LogRecord(peaks(0, 0, 0, 0, 0, 2), QTime(9, 5)),
                 QByteArray("<V>0</V><I>0</I><W>0</W><R>0</R><S>0</S><M>2</M><T>09:05</T>\r\n"));
        // Leading zeros would split one day's records over two file names.
        QCOMPARE(DayStamp(QDate(2010, 3, 7)), QStringLiteral("2010_3_7"));
        QCOMPARE(DayStamp(QDate(2010, 12, 25)), QStringLiteral("2010_12_25"));
        QCOMPARE(ModeText(1), QStringLiteral("Load On"));
        QCOMPARE(ModeText(2), QString());
        // An empty mode must still leave its two tabs: four in a row.
        const QString time = QStringLiteral("14:30:05");
        QCOMPARE(WebPagePublisher::historyLine(example, QStringLiteral("km/h"), time),
                 historyLine("km/h", "Load On"));
        QCOMPARE(WebPagePublisher::historyLine(peaks(13.2, 4.75, 62.7, 312.5, 6.3, 0),
                                               QStringLiteral("km/h"), time),
                 historyLine("km/h", ""));
    }

    void interval_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown"); // empty: refused
        QTest::addColumn<int>("milliseconds");
        // Clamped in the wrong order, timed from the typed value instead of the clamped one,
        // fractions truncated, or text that is not a number accepted.
        QTest::newRow("5 clamps up") << QString("5") << QString("10") << 10000;
        QTest::newRow("1000 clamps down") << QString("1000") << QString("600") << 600000;
        QTest::newRow("900 clamps down") << QString("900") << QString("600") << 600000;
        QTest::newRow("60 stays as typed") << QString("60") << QString("60") << 60000;
        QTest::newRow("12.5 keeps the fraction") << QString("12.5") << QString("12.5") << 12500;
        QTest::newRow("30.5") << QString("30.5") << QString("30.5") << 30500;
        QTest::newRow("abc refused") << QString("abc") << QString() << 0;
        QTest::newRow("empty refused") << QString() << QString() << 0;
    }
    void interval()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, milliseconds);
        const auto interval = LogInterval::fromDelay(typed);
        QCOMPARE(interval.has_value(), !shown.isEmpty());
        if (interval) {
            QCOMPARE(interval->delayText, shown);
            QCOMPARE(interval->milliseconds, milliseconds);
        }
    }

    void localeForms_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("morning");
        QTest::addColumn<QString>("historyFile");
        // The zone left in the time, or the C locale's "27 Mar 2010" put in a file name.
        QTest::newRow("C") << QLocale::c() << "09:05:03"
                           << "html/history27_03_2010.txt";
        QTest::newRow("en_US") << QLocale("en_US") << "9:05:03 AM"
                               << "html/history3_27_10.txt";
        QTest::newRow("en_GB") << QLocale("en_GB") << "09:05:03"
                               << "html/history27_03_2010.txt";
        QTest::newRow("de_DE") << QLocale("de_DE") << "09:05:03"
                               << "html/history27.03.10.txt";
    }
    void localeForms()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, morning);
        QFETCH(QString, historyFile);
        QCOMPARE(LocaleForms::longTime(locale, QTime(9, 5, 3)), morning);
        QCOMPARE(WebPagePublisher::historyFile(locale, afternoon.date()), historyFile);
    }

    void longTimeDropsTheZoneInEveryLocale()
    {
        // A locale with the zone first, in brackets or after a comma keeping a stray mark.
        for (const QLocale& locale : QLocale::matchingLocales(
                 QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            const QString format = LocaleForms::longTimeFormat(locale);
            const QString where = locale.name() + QLatin1Char(' ') + format;
            QVERIFY2(!format.section(QLatin1Char('\''), 0, 0).contains(QLatin1Char('t')),
                     qPrintable(where));
            QVERIFY2(format == format.trimmed() && format.contains(QLatin1Char('s')),
                     qPrintable(where));
            QVERIFY2(!QStringLiteral("()[],").contains(format.back()), qPrintable(where));
        }
    }

    void page_data()
    {
        QTest::addColumn<QByteArray>("templateBytes");
        QTest::addColumn<QByteArray>("expected");
        // Only the first occurrence replaced, case-insensitive matching, no final CR LF, or
        // the running watt-hours rounded.
        QTest::newRow("no placeholders")
            << QByteArray("<p>plain</p>") << QByteArray("<p>plain</p>\r\n");
        QTest::newRow("empty") << QByteArray() << QByteArray("\r\n");
        QTest::newRow("volts three times, lower case kept")
            << QByteArray("<VV>|<VV>|<vv>|<VV>") << QByteArray("13.2|13.2|<vv>|13.2\r\n");
        QTest::newRow("all eight") << QByteArray("<VV> <II> <WW> <WH> <RR> <SS> <TT> <MM>")
                                   << QByteArray("13.2 4.75 62.7 1234.56789012345 312.5 6.3 "
                                                 "14:30:05 Load On\r\n");
        // Bytes that are not UTF-8 must reach the page unchanged.
        QTest::newRow("latin-1 kept") << QByteArray("\260C <SS>") << QByteArray("\260C 6.3\r\n");
    }
    void page()
    {
        QFETCH(QByteArray, templateBytes);
        QFETCH(QByteArray, expected);
        QCOMPARE(WebPagePublisher::page(templateBytes, example, QStringLiteral("14:30:05")),
                 expected);
    }

    void shippedTemplateUsesEveryPlaceholder()
    {
        // An installed page that silently never shows one of the values.
        QFile file(QFINDTESTDATA("../../dist/html/template.asp"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray page = file.readAll();
        for (const char* placeholder :
             {"<VV>", "<II>", "<WW>", "<WH>", "<RR>", "<SS>", "<TT>", "<MM>"})
            QVERIFY2(page.contains(placeholder), placeholder);
        QVERIFY(page.contains("http-equiv=\"refresh\""));
    }

    void twoTicksOfADayWithTheUnitChanged()
    {
        // A second header, the old title rewritten, the page appended to instead of replaced,
        // or a temporary page left behind.
        ProgramFolder folder;
        QVERIFY(folder.tick(allOutputs("km/h"), afternoon).ok());
        QVERIFY(folder.tick(allOutputs("m/s"), afternoon).ok());
        QCOMPARE(folder.bytes("logs/2010_3_27.txt"), record + record);
        QCOMPARE(folder.bytes("html/history27_03_2010.txt"),
                 historyLine("km/h", "Load On") + historyLine("m/s", "Load On"));
        QCOMPARE(folder.bytes("html/log.asp"), QByteArray("<p>13.2V Load On at 14:30:05</p>\r\n"));
        QCOMPARE(folder.bytes("Excel/2010_3_27.xls"), sheetHeader("km/h") + sheetRow + sheetRow);
        QCOMPARE(QDir(folder.path("html")).entryList(QDir::Files),
                 QStringList({"history27_03_2010.txt", "log.asp", "template.asp"}));
    }

    void tickAfterMidnightStartsTheNewDay()
    {
        // A date taken once at start-up, or the new day's sheet without the current unit.
        ProgramFolder folder;
        SettableClock clock(QDateTime(QDate(2010, 12, 24), QTime(23, 59, 30)));
        folder.tick(allOutputs("km/h"), clock.now());
        clock.advanceSecs(60);
        folder.tick(allOutputs("m/s"), clock.now());
        QVERIFY(folder.bytes("logs/2010_12_24.txt").endsWith("<T>23:59</T>\r\n"));
        QVERIFY(folder.bytes("logs/2010_12_25.txt").endsWith("<M>1</M><T>00:00</T>\r\n"));
        QVERIFY(folder.bytes("Excel/2010_12_25.xls").startsWith(sheetHeader("m/s")));
        QVERIFY(!folder.bytes("html/history25_12_2010.txt").isEmpty());
    }

    void switchedOffOutputsAreNotTouched()
    {
        // Web or spreadsheet files written although their setting is 0.
        ProgramFolder folder;
        QVERIFY(folder.tick(ProgramConfig::defaults(), afternoon).ok());
        QCOMPARE(folder.bytes("logs/2010_3_27.txt"), record);
        QCOMPARE(QDir(folder.path("html")).entryList(QDir::Files), QStringList{"template.asp"});
        QVERIFY(QDir(folder.path("Excel")).isEmpty());
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("failures");
        QTest::addColumn<QStringList>("stillWritten");
        const QString log = "logs/2010_3_27.txt", page = "html/log.asp",
                      history = "html/history27_03_2010.txt", sheet = "Excel/2010_3_27.xls";
        // Each: a failed step that stops the later ones, creates a folder, or goes unnamed.
        QTest::newRow("no logs folder")
            << "no logs" << log + ": folder logs is missing" << QStringList{page, history, sheet};
        QTest::newRow("no html folder")
            << "no html"
            << history + ": folder html is missing; html/template.asp: folder html is missing"
            << QStringList{log, sheet};
        QTest::newRow("no template keeps the old page")
            << "no template"
            << "html/template.asp: file not found" << QStringList{log, history, sheet, page};
        QTest::newRow("unwritable spreadsheet")
            << "read-only Excel" << sheet + ": " << QStringList{log, page, history};
        QTest::newRow("full disk under the log")
            << "full log" << log + ": No space left on device" << QStringList{page, history, sheet};
    }
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, failures);
        QFETCH(QStringList, stillWritten);
        ProgramFolder folder;
        if (fault == "no logs" || fault == "no html")
            QVERIFY(QDir(folder.path(fault.mid(3))).removeRecursively());
        if (fault == "no template") {
            QVERIFY(QFile::remove(folder.path("html/template.asp")));
            folder.write("html/log.asp", "earlier page");
        }
        if (fault == "read-only Excel")
            makeUnwritable(folder, "Excel/2010_3_27.xls");
        if (fault == "full log" && !QFile::link("/dev/full", folder.path("logs/2010_3_27.txt")))
            QSKIP("no /dev/full here");

        const auto result = folder.tick(allOutputs(), afternoon);
        QFile::setPermissions(folder.path("Excel"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(result.describe().startsWith(failures) &&
                     result.failures.size() == 1 + (fault == "no html"),
                 qPrintable(result.describe()));
        for (const QString& written : stillWritten)
            QVERIFY2(!folder.bytes(written).isEmpty(), qPrintable(written));
        if (fault == "no logs" || fault == "no html")
            QVERIFY(!QFileInfo::exists(folder.path(fault.mid(3))));
        if (fault == "no template")
            QCOMPARE(folder.bytes("html/log.asp"), QByteArray("earlier page"));
    }

private:
    // A read-only folder stops writes unless the tests run as root; there a folder where the
    // file belongs makes the same failure.
    static void makeUnwritable(const ProgramFolder& folder, const QString& file)
    {
        QFile::setPermissions(folder.path("Excel"), QFile::ReadOwner | QFile::ExeOwner);
        QFile probe(folder.path("Excel/probe"));
        if (!probe.open(QIODevice::WriteOnly))
            return;
        probe.remove();
        QVERIFY(QDir().mkdir(folder.path(file)));
    }
};

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
