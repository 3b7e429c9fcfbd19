#include "logging/LocaleForms.h"
#include "logging/LogRecord.h"
#include "logging/LogWriter.h"
#include "logging/WebPagePublisher.h"
#include "support/WindowRig.h"

#include <QtTest>

namespace {

Reading peaks(qint16 mode)
{
    Reading r;
    r.Mode = mode;
    r.WattHours = 1234.567890123449;
    r.PeakVolts = 13.2, r.PeakAmps = 4.75, r.PeakWatts = 62.7, r.PeakRPM = 312.5;
    r.PeakWindSpeed = 6.3;
    return r;
}

const Reading example = peaks(1);
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
struct ProgramFolder : WindowRig
{
    ProgramFolder() { write("html/template.asp", "<p><VV>V <MM> at <TT></p>"); }
    LogWriter::Result tick(const ProgramConfig& config, const QDateTime& now) const
    {
        return LogWriter::writeTick(path("."), example, config, now, QLocale::c());
    }
};

} // namespace

class TestLogging : public QObject
{
    Q_OBJECT

private slots:
    // Tag order, number form, minutes rounded instead of cut, or the line end differing from
    // what the history query reads back; "Load On" for a mode other than 1; a mode of 0
    // losing its two tabs in the history line.
    void texts()
    {
        QCOMPARE(LogRecord(example, QTime(14, 30, 59)), record);
        QCOMPARE(ModeText(2), QString());
        QCOMPARE(WebPagePublisher::historyLine(peaks(0), "km/h", "14:30:05"),
                 historyLine("km/h", ""));
    }

    // The zone left in the time, or the C locale's "27 Mar 2010" put in a file name.
    void localeForms_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("morning");
        QTest::addColumn<QString>("historyFile");
        const auto row = [](const QLocale& locale, const char* morning, const char* file) {
            QTest::newRow(qPrintable(locale.name())) << locale << QString(morning) << QString(file);
        };
        row(QLocale::c(), "09:05:03", "html/history27_03_2010.txt");
        row(QLocale("en_US"), "9:05:03 AM", "html/history3_27_10.txt");
        row(QLocale("en_GB"), "09:05:03", "html/history27_03_2010.txt");
        row(QLocale("de_DE"), "09:05:03", "html/history27.03.10.txt");
    }
    void localeForms()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, morning);
        QFETCH(QString, historyFile);
        QCOMPARE(LocaleForms::longTime(locale, QTime(9, 5, 3)), morning);
        QCOMPARE(WebPagePublisher::historyFile(locale, afternoon.date()), historyFile);
    }

    // A locale with the zone first, in brackets or after a comma keeping a stray mark.
    void longTimeDropsTheZoneInEveryLocale()
    {
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

    // Only the first occurrence replaced, case-insensitive matching, no final CR LF, the
    // running watt-hours rounded, or bytes that are not UTF-8 mangled.
    void page_data()
    {
        QTest::addColumn<QByteArray>("templateBytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("no placeholders")
            << QByteArray("<p>plain</p>") << QByteArray("<p>plain</p>\r\n");
        QTest::newRow("empty") << QByteArray() << QByteArray("\r\n");
        QTest::newRow("volts three times, lower case kept")
            << QByteArray("<VV>|<VV>|<vv>|<VV>") << QByteArray("13.2|13.2|<vv>|13.2\r\n");
        QTest::newRow("all eight") << QByteArray("<VV> <II> <WW> <WH> <RR> <SS> <TT> <MM>")
                                   << QByteArray("13.2 4.75 62.7 1234.56789012345 312.5 6.3 "
                                                 "14:30:05 Load On\r\n");
        QTest::newRow("latin-1 kept") << QByteArray("\260C <SS>") << QByteArray("\260C 6.3\r\n");
    }
    void page()
    {
        QFETCH(QByteArray, templateBytes);
        QFETCH(QByteArray, expected);
        QCOMPARE(WebPagePublisher::page(templateBytes, example, QStringLiteral("14:30:05")),
                 expected);
    }

    // An installed page that silently never shows one of the values.
    void shippedTemplateUsesEveryPlaceholder()
    {
        QFile file(QFINDTESTDATA("../../dist/html/template.asp"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray page = file.readAll();
        for (const char* placeholder :
             {"<VV>", "<II>", "<WW>", "<WH>", "<RR>", "<SS>", "<TT>", "<MM>"})
            QVERIFY2(page.contains(placeholder), placeholder);
        QVERIFY(page.contains("http-equiv=\"refresh\""));
    }

    // Web or spreadsheet files written although switched off; a second header, the old
    // title rewritten, the page appended to instead of replaced, or a temporary page left.
    void ticksOfADayWithTheUnitChanged()
    {
        ProgramFolder folder;
        QVERIFY(folder.tick(ProgramConfig::defaults(), afternoon).ok());
        QCOMPARE(QDir(folder.path("html")).entryList(QDir::Files), QStringList{"template.asp"});
        QVERIFY(QDir(folder.path("Excel")).isEmpty());
        QVERIFY(folder.tick(allOutputs("km/h"), afternoon).ok());
        QVERIFY(folder.tick(allOutputs("m/s"), afternoon).ok());
        QCOMPARE(folder.read("logs/2010_3_27.txt"), record + record + record);
        QCOMPARE(folder.read("html/history27_03_2010.txt"),
                 historyLine("km/h", "Load On") + historyLine("m/s", "Load On"));
        QCOMPARE(folder.read("html/log.asp"), QByteArray("<p>13.2V Load On at 14:30:05</p>\r\n"));
        QCOMPARE(folder.read("Excel/2010_3_27.xls"), sheetHeader("km/h") + sheetRow + sheetRow);
        QCOMPARE(QDir(folder.path("html")).entryList(QDir::Files),
                 QStringList({"history27_03_2010.txt", "log.asp", "template.asp"}));
    }

    // A date taken once at start-up, or the new day's sheet without the current unit.
    void tickAfterMidnightStartsTheNewDay()
    {
        ProgramFolder folder;
        const QDateTime evening(QDate(2010, 12, 24), QTime(23, 59, 30));
        folder.tick(allOutputs("km/h"), evening);
        folder.tick(allOutputs("m/s"), evening.addSecs(60));
        QVERIFY(folder.read("logs/2010_12_24.txt").endsWith("<T>23:59</T>\r\n"));
        QVERIFY(folder.read("logs/2010_12_25.txt").endsWith("<M>1</M><T>00:00</T>\r\n"));
        QVERIFY(folder.read("Excel/2010_12_25.xls").startsWith(sheetHeader("m/s")));
        QVERIFY(!folder.read("html/history25_12_2010.txt").isEmpty());
    }

    // A failed step that stops the later ones, creates a folder, or goes unnamed.
    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("failures");
        QTest::addColumn<QStringList>("stillWritten");
        const QString log = "logs/2010_3_27.txt", page = "html/log.asp",
                      history = "html/history27_03_2010.txt", sheet = "Excel/2010_3_27.xls";
        const auto row = [](const char* fault, const QString& failures,
                            const QStringList& stillWritten) {
            QTest::newRow(fault) << QString(fault) << failures << stillWritten;
        };
        row("no logs", log + ": folder logs is missing", {page, history, sheet});
        row("no html",
            history + ": folder html is missing; html/template.asp: folder html is missing",
            {log, sheet});
        row("no template", "html/template.asp: file not found", {log, history, sheet, page});
        row("read-only Excel", sheet + ": ", {log, page, history});
        row("full log", log + ": No space left on device", {page, history, sheet});
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
            QVERIFY2(!folder.read(written).isEmpty(), qPrintable(written));
        if (fault == "no logs" || fault == "no html")
            QVERIFY(!QFileInfo::exists(folder.path(fault.mid(3))));
        if (fault == "no template")
            QCOMPARE(folder.read("html/log.asp"), QByteArray("earlier page"));
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
