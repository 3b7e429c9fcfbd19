#include "common/NumberText.h"
#include "logging/LocaleForms.h"
#include "logging/LogWriter.h"
#include "logging/OutputBacklog.h"
#include "logging/WebPagePublisher.h"
#include "support/ConfigBuilder.h"
#include "support/WindowRig.h"

#include <QSignalSpy>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

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

const QDateTime evening(QDate(2010, 3, 27), QTime(23, 59, 59));

QByteArray record(char mode)
{
    return QByteArray("<V>13.2</V><I>4.75</I><W>62.7</W><R>312.5</R><S>6.3</S><M>") + mode +
           "</M><T>23:59</T>\r\n";
}

QByteArray historyLine(const QByteArray& units, const QByteArray& mode,
                       const QByteArray& time = "23:59:59")
{
    return "13.2V\t\t4.75A\t\t62.7W\t\t312.5RPM\t\t6.3" + units + "\t\t" + mode + "\t\t" + time +
           "\r\n";
}

QByteArray sheetHeader(const QByteArray& units)
{
    return "<html><body><table><tr><td><b>Volts</b></td><td><b>Amps</b></td><td><b>Watts</b>"
           "</td><td><b>RPM</b></td><td><b>" +
           units + "</b></td><td><b>Mode</b></td><td><b>Time</b></td></tr>\r\n\r\n";
}

QByteArray sheetRow(const QByteArray& mode, const QByteArray& time = "23:59:59")
{
    return "<tr><td>13.2</td><td>4.75</td><td>62.7</td><td>312.5</td><td>6.3</td><td>" + mode +
           "</td><td>" + time + "</td></tr>\r\n\r\n";
}

// A program folder as installed: logs, html with a template, Excel.
struct ProgramFolder : WindowRig
{
    ProgramFolder() { write("html/template.asp", "<p><VV>V <MM> at <TT></p>"); }
    // With no wind units the web page and the spreadsheet are off.
    LogWriter::Result tick(const QDateTime& now, const char* units = "km/h", qint16 mode = 1,
                           OutputBacklog* backlog = nullptr) const
    {
        ProgramConfig config = ProgramConfig::defaults();
        config.WSUnits = QString::fromUtf8(units);
        config.Savehtml = config.SaveExcel = config.WSUnits.isEmpty() ? "0" : "1";
        return LogWriter::writeTick(path("."), peaks(mode), config, now, QLocale::c(), backlog);
    }
};

// At the default dividers raw V is volts * 50 and raw I 562 is 2.5 A.
QByteArray frameAt(int rawV, int mode = 0, int rawI = 562)
{
    return "[<V>" + QByteArray::number(rawV) + "</V><I>" + QByteArray::number(rawI) +
           "</I><R>10</R><S>50</S><M>" + QByteArray::number(mode) + "</M>]";
}

QDateTime at(int day, int h, int m, int s = 0)
{
    return QDateTime(QDate(2031, 5, day), QTime(h, m, s));
}

} // namespace

// What each tick writes, and the station that times the ticks and keeps the day's energy.
class TestLogging : public QObject
{
    Q_OBJECT

private slots:
    // The zone left in the time, or a file name not in the locale's short date form.
    void localeForms()
    {
        for (const auto& [name, morning, file] :
             {std::tuple{"en_US", "9:05:03 AM", "html/history3_27_10.txt"},
              {"de_DE", "09:05:03", "html/history27.03.10.txt"}}) {
            QCOMPARE(LocaleForms::longTime(QLocale(name), QTime(9, 5, 3)), QString(morning));
            QCOMPARE(WebPagePublisher::historyFile(QLocale(name), evening.date()), QString(file));
        }
    }

    // A locale with the zone first, in brackets or after a comma keeping a stray mark.
    void longTimeDropsTheZoneInEveryLocale()
    {
        for (const QLocale& locale : QLocale::matchingLocales(
                 QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            const QString format = LocaleForms::longTimeFormat(locale);
            QVERIFY2(!format.section(QLatin1Char('\''), 0, 0).contains(QLatin1Char('t')) &&
                         format == format.trimmed() && format.contains(QLatin1Char('s')) &&
                         !QStringLiteral("()[],").contains(format.back()),
                     qPrintable(locale.name() + QLatin1Char(' ') + format));
        }
    }

    // Every occurrence replaced, case kept, CR LF added, watt-hours in full, bytes untouched;
    // the installed template shows every value.
    void page()
    {
        QCOMPARE(WebPagePublisher::page("\260C <VV> <II> <WW> <WH> <RR> <SS> <TT> <MM>|<VV>|<vv>",
                                        peaks(1), QStringLiteral("14:30:05")),
                 QByteArray("\260C 13.2 4.75 62.7 1234.56789012345 312.5 6.3 14:30:05 Load On|"
                            "13.2|<vv>\r\n"));
        QFile file(QFINDTESTDATA("../../dist/html/template.asp"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray shipped = file.readAll();
        QVERIFY(shipped.contains("http-equiv=\"refresh\""));
        for (const char* placeholder :
             {"<VV>", "<II>", "<WW>", "<WH>", "<RR>", "<SS>", "<TT>", "<MM>"})
            QVERIFY2(shipped.contains(placeholder), placeholder);
    }

    // Outputs only when on; one header per day's sheet, in that day's unit; the page replaced;
    // minutes cut, not rounded; "Load On" for mode 1 only; the first ticks after midnight.
    // Records held while the log and sheet folders were missing, over midnight, must reach
    // their own day's files in order, each file named once rather than once per held line, and
    // a held row must not bring a second header with it.
    void ticksOverMidnightWithTheUnitChanged()
    {
        ProgramFolder folder;
        QVERIFY(QDir(folder.path("logs")).removeRecursively());
        QVERIFY(QDir(folder.path("Excel")).removeRecursively());
        OutputBacklog backlog;
        for (const auto& [units, mode] : {std::pair{"", 1}, {"km/h", 1}, {"m/s", 2}})
            folder.tick(evening, units, qint16(mode), &backlog);
        QCOMPARE(folder.tick(evening.addSecs(30), "m/s", 1, &backlog).describe(),
                 "logs/2010_3_28.txt: folder logs is missing; Excel/2010_3_28.xls: folder Excel is "
                 "missing; logs/2010_3_27.txt: folder logs is missing; Excel/2010_3_27.xls: folder "
                 "Excel is missing (records kept until they can be written)");
        QVERIFY(QDir(folder.path("")).mkdir("logs") && QDir(folder.path("")).mkdir("Excel"));
        QVERIFY(folder.tick(evening.addSecs(60), "m/s", 1, &backlog).ok());
        QVERIFY(backlog.isEmpty());
        QCOMPARE(folder.read("logs/2010_3_27.txt"), record('1') + record('1') + record('2'));
        QCOMPARE(folder.read("html/history27_03_2010.txt"),
                 historyLine("km/h", "Load On") + historyLine("m/s", ""));
        QCOMPARE(folder.read("Excel/2010_3_27.xls"),
                 sheetHeader("km/h") + sheetRow("Load On") + sheetRow(""));
        QCOMPARE(folder.read("logs/2010_3_28.txt"),
                 record('1').replace("23:59", "00:00").repeated(2));
        QCOMPARE(folder.read("html/history28_03_2010.txt"),
                 historyLine("m/s", "Load On", "00:00:29") +
                     historyLine("m/s", "Load On", "00:00:59"));
        QCOMPARE(folder.read("Excel/2010_3_28.xls"), sheetHeader("m/s") +
                                                         sheetRow("Load On", "00:00:29") +
                                                         sheetRow("Load On", "00:00:59"));
        QCOMPARE(folder.read("html/log.asp"), QByteArray("<p>13.2V Load On at 00:00:59</p>\r\n"));
    }

    // A failed step that stops the later ones, creates a folder, goes unnamed, or spoils the
    // page it could not replace.
    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("failures");
        QTest::newRow("no html") << "html" << QByteArray()
                                 << "html/history27_03_2010.txt: folder html is missing; "
                                    "html/template.asp: folder html is missing";
        QTest::newRow("no template") << "html/template.asp" << QByteArray("earlier page")
                                     << "html/template.asp: file not found";
        QTest::newRow("template a folder") << "html/template.asp/" << QByteArray("earlier page")
                                           << "html/template.asp: file to open is a directory";
        QTest::newRow("page a folder")
            << "html/log.asp/" << QByteArray() << "html/log.asp: Is a directory";
        QTest::newRow("full log") << "logs/2010_3_27.txt"
                                  << QByteArray("<p>13.2V Load On at 23:59:59</p>\r\n")
                                  << "logs/2010_3_27.txt: No space left on device";
    }
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, page);
        QFETCH(QString, failures);
        ProgramFolder folder;
        const QString path = folder.path(fault);
        QVERIFY(fault != "html" || QDir(path).removeRecursively());
        if (fault.startsWith("html/template.asp")) {
            QVERIFY(QFile::remove(folder.path("html/template.asp")));
            folder.write("html/log.asp", "earlier page");
        }
        QVERIFY(!fault.endsWith('/') || QDir().mkdir(path));
        if (fault.startsWith("logs") && !QFile::link("/dev/full", path))
            QSKIP("no /dev/full here");

        QCOMPARE(folder.tick(evening).describe(), failures);
        QCOMPARE(folder.read("html/log.asp"), page);
        QVERIFY(!QFileInfo::exists(folder.path("html/log.asp.new")));
        QCOMPARE(folder.read("html/history27_03_2010.txt").isEmpty(), fault == "html");
        QCOMPARE(folder.read("Excel/2010_3_27.xls"), sheetHeader("km/h") + sheetRow("Load On"));
        QCOMPARE(QFileInfo::exists(folder.path("html")), fault != "html");
    }

    // A record that fits only in part, as on a disk filling up, leaves no half line: the log is
    // cut back to where it was and the reason is said.
    void recordThatFitsInPartIsTakenBack()
    {
        ProgramFolder folder;
        folder.write("logs/2010_3_27.txt", "earlier\r\n");
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 30;
        setrlimit(RLIMIT_FSIZE, &small);
        const QString said = folder.tick(evening, "").describe();
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY2(said.startsWith("logs/2010_3_27.txt: File too large"), qPrintable(said));
        QCOMPARE(folder.read("logs/2010_3_27.txt"), QByteArray("earlier\r\n"));
    }

    // A fault that never clears must cost bounded memory, dropping the oldest lines and
    // saying so, while the newest still reach the file once it can be written.
    void backlogIsBounded()
    {
        ProgramFolder folder;
        const OutputFile file(folder.path(""), "logs/day.txt");
        QVERIFY(QDir(folder.path("logs")).removeRecursively());
        OutputBacklog backlog;
        QList<OutputFailure> failures;
        const QByteArray line(64 * 1024, 'x');
        const int lines = int(OutputBacklog::Cap / line.size()) + 10;
        for (int i = 0; i < lines; ++i)
            backlog.append(file, line + QByteArray::number(i) + "\r\n", failures);
        QVERIFY(backlog.dropped());

        QVERIFY(QDir(folder.path("")).mkdir("logs"));
        QVERIFY(backlog.append(file, "newest\r\n", failures));
        QVERIFY(backlog.isEmpty());
        const QByteArray written = folder.read("logs/day.txt");
        QVERIFY(written.size() <= OutputBacklog::Cap + 8);
        QVERIFY(written.endsWith(line + QByteArray::number(lines - 1) + "\r\nnewest\r\n"));
        QVERIFY(!written.startsWith(line + "0\r\n"));
        // What was written no longer counts against the cap, so a new fault holds its lines.
        QVERIFY(QDir(folder.path("logs")).removeRecursively());
        backlog.append(file, line + "\r\n", failures);
        QVERIFY(backlog.holds("logs/day.txt"));
    }

    // Clamped in the wrong order, timed from the given value instead of the clamped one,
    // fractions truncated, or text that is not a number accepted.
    void interval_data()
    {
        QTest::addColumn<bool>("atStartUp"); // from LogOn and LogDelay, else startLogging
        QTest::addColumn<QString>("delay");
        QTest::addColumn<int>("ms"); // 0: logging stays off
        QTest::addColumn<QString>("shown");
        QTest::newRow("5 becomes 10") << false << "5" << 10000 << "10";
        QTest::newRow("12.5 gives 12,500 ms") << false << "12.5" << 12500 << "12.5";
        QTest::newRow("empty refused") << false << "" << 0 << "";
        QTest::newRow("LogOn 900") << true << "900" << 600000 << "600";
        QTest::newRow("LogOn letters: off") << true << "soon" << 0 << "";
    }
    void interval()
    {
        QFETCH(bool, atStartUp);
        QFETCH(QString, delay);
        QFETCH(int, ms);
        QFETCH(QString, shown);
        WindowRig rig;
        QSignalSpy started(&rig.station(), &Station::loggingStarted);
        Station& s = rig.startStation(atStartUp ? config().logEvery(delay).logAtStart() : config());
        if (!atStartUp)
            QCOMPARE(s.startLogging(delay), ms > 0);
        QCOMPARE(s.isLogging() ? s.loggingIntervalMs() : 0, ms);
        QCOMPARE(started.size(), ms > 0 ? 1 : 0);
        QCOMPARE(started.value(0).value(0).toString(), shown);
        s.stopLogging();
        QVERIFY(!s.isLogging()); // the window's Stop only shows what the station says
    }

    // Each record holds its own interval's peaks (zeros and the last mode if none) in its
    // day's file; a missing folder is named in the status. Ending the station gives the held
    // rows one last try but writes no record for the unfinished interval.
    void recordsPerIntervalAndDay()
    {
        WindowRig rig;
        // The spreadsheet on, so its missing folder holds rows back.
        Station& s = rig.startStation(config().spreadsheet());
        QVERIFY(QDir(rig.path("Excel")).removeRecursively());
        rig.clock.set(at(7, 23, 58, 30));
        s.startLogging("60");
        rig.link()->feed(frameAt(710));
        s.stopLogging();
        s.startLogging("60");
        for (int rawV : {605, 630, 615}) // 12.1, 12.6, 12.3 V
            rig.link()->feed(frameAt(rawV, 1));
        rig.clock.set(at(7, 23, 59, 30));
        WindowRig::tick(s, "logTimer");
        QVERIFY(s.statusLine(Station::StatusSource::Logging).startsWith("Excel/2031_5_7.xls"));
        rig.clock.set(at(8, 0, 0, 30));
        WindowRig::tick(s, "logTimer");
        QCOMPARE(rig.read("logs/2031_5_7.txt"),
                 QByteArray("<V>12.6</V><I>2.5</I><W>31.5</W><R>150</R><S>20</S><M>1</M>"
                            "<T>23:59</T>\r\n"));
        QVERIFY(QDir(rig.path(".")).mkdir("Excel"));
        rig.link()->feed(frameAt(700));
        s.shutdown();
        QVERIFY(rig.read("Excel/2031_5_7.xls").contains("12.6"));
        QVERIFY(rig.read("Excel/2031_5_8.xls").contains("<td>0</td>"));
        QCOMPARE(rig.read("logs/2031_5_8.txt"),
                 QByteArray("<V>0</V><I>0</I><W>0</W><R>0</R><S>0</S><M>1</M><T>00:00</T>\r\n"));
    }

    // The day's watt-hours outlive a restart: today's saved count goes on, a new day starts
    // a new line, a day the clock goes back to goes on from its own count, and every past
    // day is kept. The lifetime production (third column, kWh) goes on from the highest saved,
    // counts no negative power and is added to a file of two columns. Damaged lines are named
    // once and kept for the owner to mend. The file is written at most every 15 s while the
    // count changes, and whole at the end.
    void dayEnergy_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<QDateTime>>("steps"); // each after a frame of 31.25 W
        QTest::addColumn<int>("negative");           // the last steps at -31.25 W
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("midway"); // before the end; empty: as saved
        const auto row = [](const char* name, const QByteArray& file, const QList<QDateTime>& steps,
                            int negative, const QByteArray& saved, const char* status = "",
                            const QByteArray& midway = {}) {
            QTest::newRow(name) << file << steps << negative << saved << QString(status)
                                << (midway.isEmpty() ? saved : midway);
        };
        const QByteArray before = "2031-05-04 7.5\r\n2031-05-05 100\r\n";
        const QByteArray step = " 0.0000434027777777778\r\n"; // one step's kWh
        row("restart goes on", before, {at(5, 12, 0, 5)}, 0,
            "2031-05-04 7.5\r\n2031-05-05 100.043402777778" + step);
        row("midnight starts a line", before, {at(5, 23, 59, 55), at(6, 0, 0)}, 0,
            "2031-05-04 7.5\r\n2031-05-05 100.043402777778" + step +
                "2031-05-06 0.0434027777777778 0.0000868055555555556\r\n",
            "", "2031-05-04 7.5\r\n2031-05-05 100.043402777778" + step);
        row("clock set back a day", before, {at(4, 12, 0, 5)}, 0,
            "2031-05-04 7.54340277777778" + step + "2031-05-05 100\r\n");
        row("no file yet", {}, {at(5, 12, 0, 5)}, 0, "2031-05-05 0.0434027777777778" + step);
        const QByteArray past = "2031-05-03 1 3\r\n2031-05-04 7.5 2\r\n";
        row("negative power", past, {at(5, 12, 0, 5), at(5, 12, 0, 10), at(5, 12, 0, 15)}, 2,
            past + "2031-05-05 -0.0434027777777778 3.00004340277778\r\n", "",
            past + "2031-05-05 0.0434027777777778 3.00004340277778\r\n");
        row("damaged lines",
            "2031-05-05 100\r\n2031-5-5 3\r\n2031-05-05 x\nrubbish\n2031-05-05 1 -2",
            {at(5, 12, 0, 5)}, 0,
            "2031-05-05 100.043402777778" + step +
                "2031-5-5 3\r\n2031-05-05 x\r\nrubbish\r\n2031-05-05 1 -2\r\n",
            "logs/energy.txt line 2 is not a date and watt-hours, skipped: \"2031-5-5 3\"\n"
            "logs/energy.txt line 3 is not a date and watt-hours, skipped: \"2031-05-05 x\"\n"
            "logs/energy.txt line 4 is not a date and watt-hours, skipped: \"rubbish\"\n"
            "logs/energy.txt line 5 is not a date and watt-hours, skipped: \"2031-05-05 1 -2\"");
    }
    void dayEnergy()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<QDateTime>, steps);
        QFETCH(int, negative);
        QFETCH(QByteArray, saved);
        QFETCH(QString, status);
        QFETCH(QByteArray, midway);
        WindowRig rig;
        if (!file.isEmpty())
            rig.write("logs/energy.txt", file);
        rig.clock.set(at(5, 12, 0));
        Station& s = rig.startStation();
        for (int i = 0; i < steps.size(); ++i) {
            rig.clock.set(steps[i]);
            rig.link()->feed(frameAt(625, 0, i >= steps.size() - negative ? 462 : 562));
            WindowRig::tick(s, "wattHourTimer");
        }
        QCOMPARE(rig.read("logs/energy.txt"), midway);
        QVERIFY(midway.contains(' ' + NumberText(s.savedEnergy().producedKWh).toLatin1() + "\r\n"));
        s.shutdown();
        QCOMPARE(rig.read("logs/energy.txt"), saved);
        QCOMPARE(s.statusLine(Station::StatusSource::Energy), status);
    }

    // An energy file that cannot be written is said, and logging goes on.
    void energyFailureIsSaidWhileLoggingGoesOn()
    {
        WindowRig rig;
        QVERIFY(QDir(rig.path("logs")).mkdir("energy.txt"));
        Station& s = rig.startStation();
        s.startLogging("10");
        rig.link()->feed(frameAt(625));
        WindowRig::tick(s, "wattHourTimer");
        QVERIFY(s.statusLine(Station::StatusSource::Energy).startsWith("logs/energy.txt: "));
        WindowRig::tick(s, "logTimer");
        QVERIFY(rig.read("logs/2010_3_7.txt").startsWith("<V>12.5</V>")); // the rig's clock
    }
};

QTEST_MAIN(TestLogging)
#include "tst_logging.moc"
