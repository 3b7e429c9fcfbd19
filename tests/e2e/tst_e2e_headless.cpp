#include <QDate>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace {

// No display of any kind: the service runs where there is none.
QProcessEnvironment noDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// A program folder as installed, logging every 10 s.
struct Folder
{
    Folder()
    {
        for (const char* folder : {"logs", "html", "Excel"})
            QDir(dir.path()).mkdir(folder);
        QFile::copy(WENDRO_DIST "/html/template.asp", dir.filePath("html/template.asp"));
        writeFile(dir.filePath("prog.cfg"),
                  "Program Config File\r\n\r\n<Port>1</Port>\r\n<Savehtml>1</Savehtml>\r\n"
                  "<SaveExcel>1</SaveExcel>\r\n<LogDelay>10</LogDelay>\r\n<LogOn>0</LogOn>\r\n"
                  "<DisplayRPM>1</DisplayRPM>\r\n<DisplayWS>1</DisplayWS>\r\n"
                  "<WSUnits>km/h</WSUnits>\r\n\r\n");
    }
    QString path(const QString& relative) const { return dir.filePath(relative); }
    QString today() const
    {
        const QDate d = QDate::currentDate();
        return QString("logs/%1_%2_%3.txt").arg(d.year()).arg(d.month()).arg(d.day());
    }
    // Today's watt-hours in energy.txt.
    double energy() const
    {
        const QString key = QDate::currentDate().toString("yyyy-MM-dd ");
        for (const QByteArray& line : readFile(path("logs/energy.txt")).split('\n')) {
            if (line.startsWith(key.toLatin1()))
                return line.mid(key.size()).trimmed().toDouble();
        }
        return -1;
    }
    QTemporaryDir dir;
};

struct Headless
{
    explicit Headless(const Folder& folder)
    {
        program.setProcessEnvironment(noDisplay());
        program.start(WENDRO_BINARY, {"--headless", "--dir", folder.dir.path()});
    }
    // SIGTERM, as systemd stops the service; the exit status.
    int stop()
    {
        ::kill(pid_t(program.processId()), SIGTERM);
        if (!program.waitForFinished(10000))
            return -1;
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -2;
    }
    QString said() { return QString::fromUtf8(program.readAllStandardError()); }
    QProcess program;
};

} // namespace

class TestEndToEndHeadless : public QObject
{
    Q_OBJECT

private slots:
    // None of these may need a display, and each must answer on the right stream with the
    // status a script or a service manager acts on.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // expected start of standard output
        QTest::addColumn<QString>("err"); // expected in standard error
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: wendro" << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "Wendro 0.1" << "";
        QTest::newRow("unknown") << QStringList{"--bogus"} << 2 << ""
                                 << "unknown option --bogus\n\nUsage: wendro";
        QTest::newRow("unknown, headless")
            << QStringList{"--headless", "-x"} << 2 << "" << "unknown option -x";
        QTest::newRow("dir without folder") << QStringList{"--dir"} << 2 << ""
                                            << "--dir needs a value";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess p;
        p.setProcessEnvironment(noDisplay());
        p.start(WENDRO_BINARY, arguments);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), status);
        const QString stdOut = QString::fromUtf8(p.readAllStandardOutput());
        const QString stdErr = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
        QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.contains(err), qPrintable(stdErr));
    }

    // An interval that is not a number cannot log: said, with status 2, before any record.
    void delayThatIsNotANumberStops()
    {
        Folder folder;
        QByteArray cfg = readFile(folder.path("prog.cfg"));
        writeFile(folder.path("prog.cfg"), cfg.replace("<LogDelay>10<", "<LogDelay>soon<"));
        Headless h(folder);
        QVERIFY(h.program.waitForFinished(10000));
        QCOMPARE(h.program.exitCode(), 2);
        QVERIFY(h.said().contains("prog.cfg: LogDelay \"soon\" is not a number"));
    }

    // Logging from the simulator with no display: a record at each tick, a clean end on
    // SIGTERM with no half line and no record for the unfinished interval, a damaged energy
    // line said once and kept, and a restart that goes on from the saved watt-hours.
    void logsStopsCleanlyAndGoesOnAfterARestart()
    {
        Folder folder;
        writeFile(folder.path("logs/energy.txt"), "rubbish\r\n");
        QProcess sim;
        sim.start(WENDRO_SIM, {"--dir", folder.dir.path(), "--interval-ms", "500"});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(folder.path("COM1")).isSymLink(), 5000);

        Headless first(folder);
        QTest::qWait(25000); // ticks at 10 s and 20 s
        QCOMPARE(first.stop(), 0);
        const QByteArray log = readFile(folder.path(folder.today()));
        const QRegularExpression record(
            "^(<V>[-0-9.]+</V><I>[-0-9.]+</I><W>[-0-9.]+</W><R>[-0-9.]+</R><S>[-0-9.]+</S>"
            "<M>[01]</M><T>\\d\\d:\\d\\d</T>\r\n){2}$");
        QVERIFY2(record.match(QString::fromLatin1(log)).hasMatch(), log.constData());
        const QString said = first.said();
        QCOMPARE(said.count("logs/energy.txt line 1 is not a date and watt-hours"), 1);
        QVERIFY2(!said.contains("Cannot open"), qPrintable(said));
        const double saved = folder.energy();
        QVERIFY2(saved > 0, readFile(folder.path("logs/energy.txt")).constData());
        QVERIFY(readFile(folder.path("logs/energy.txt")).endsWith("rubbish\r\n"));

        // A long day so far, so that a count started again from 0 cannot pass for it.
        writeFile(folder.path("logs/energy.txt"),
                  QDate::currentDate().toString("yyyy-MM-dd 5000\r\n").toLatin1());
        Headless second(folder);
        QTest::qWait(7000); // one watt-hour step after the first frame
        // The logger unplugged and plugged back in: said once each way, on standard error.
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QTest::qWait(6000);
        sim.start(WENDRO_SIM, {"--dir", folder.dir.path(), "--interval-ms", "500"});
        QVERIFY(sim.waitForStarted());
        QString unplugged;
        QVERIFY(QTest::qWaitFor([&] { return (unplugged += second.said()).contains("port: all well again"); },
                                10000));
        QCOMPARE(unplugged.count("COM1: device disconnected. Trying again"), 1);
        QCOMPARE(second.stop(), 0);
        QVERIFY2(folder.energy() > 5000, qPrintable(QString::number(folder.energy())));
        sim.terminate();
        sim.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TestEndToEndHeadless)
#include "tst_e2e_headless.moc"
