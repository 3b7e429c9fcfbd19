#pragma once

#include "common/DayStamp.h"
#include "support/ConfigBuilder.h"
#include "support/HttpAsk.h"
#include "support/TempFolder.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <csignal>
#include <memory>
#include <unistd.h>

// Fails the test with the text a check returned, when it returned one.
#define VERIFY_NO_PROBLEM(check)                                                                   \
    do {                                                                                           \
        const QString problem_ = (check);                                                          \
        QVERIFY2(problem_.isEmpty(), qPrintable(problem_));                                        \
    } while (false)

// The device simulator and the real program as a service with no display, in a fresh program
// folder: a test sees what an operator would, the live values and status lines of /api/live,
// what the service says on standard error, and the files. Checks return an empty text when
// they pass, else what they saw.
class E2eRig : public TempFolder
{
public:
    static constexpr int IntervalMs = 10000; // the logging interval of loggingConfig()
    // A sanitized build on a busy machine can take long to start.
    static constexpr int StartupMs = 60000;

    E2eRig()
    {
        // Laid out as an installation would be.
        shell(QString("cp -a '%1'/. \"$1\"").arg(WENDRO_DIST));
    }
    ~E2eRig()
    {
        stop(m_program);
        stop(m_sim);
        // Lazily, so a file still open somewhere cannot keep the mount and the folder alive.
        geteuid() != 0 ? makeWritable() : shell("umount -l \"$1\"");
    }

    QString error() const { return m_error; }
    // Every 10 s with the web page and the spreadsheet; LogOn off, which the service ignores.
    static QByteArray loggingConfig() { return config().page().spreadsheet().logEvery("10").fileText(); }
    static QString today() { return DayStamp(QDate::currentDate()); }
    // The environment of a machine with no display of any kind.
    static QProcessEnvironment noDisplay()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        return env;
    }

    // The simulator's arguments after --dir; by default values change often without loading
    // the machine.
    bool startSim(const QStringList& arguments = {"--interval-ms", "200", "--seed", "3"})
    {
        stop(m_sim);
        // A link left by a killed simulator would pass for the new one below.
        QFile::remove(path("COM1"));
        m_sim = std::make_unique<QProcess>();
        m_sim->start(WENDRO_SIM, QStringList{"--dir", m_dir.path()} + arguments);
        // The link exists once the simulator has told us where it points.
        const bool linked = m_sim->waitForStarted(5000) &&
                            QTest::qWaitFor([&] { return QFileInfo(path("COM1")).isSymLink(); }, 5000);
        if (!linked)
            m_error = "the simulator did not start";
        return linked;
    }
    // SIGKILL, as when the device is unplugged: the link is left behind, pointing nowhere.
    void killSim() { stop(m_sim); }
    // wendro --headless --listen 127.0.0.1:0 --dir <folder> [more], until it says where it
    // listens.
    bool startProgram(const QStringList& more = {})
    {
        stop(m_program);
        m_said.clear();
        m_program = std::make_unique<QProcess>();
        m_program->setProcessEnvironment(noDisplay());
        m_launched.start();
        m_program->start(WENDRO_BINARY, QStringList{"--headless", "--listen", "127.0.0.1:0", "--dir",
                                                    m_dir.path()} + more);
        m_program->waitForStarted(5000);
        waitToSay("dashboard at", StartupMs);
        static const QRegularExpression at("dashboard at http://127\\.0\\.0\\.1:(\\d+)/");
        m_port = at.match(said()).captured(1).toUShort();
        if (m_port == 0)
            m_error = "no dashboard: " + said();
        return m_port != 0;
    }
    // The simulator unless one runs, then the program, until it has converted a frame.
    QString startLive()
    {
        if (!m_sim && !startSim())
            return m_error;
        if (!startProgram())
            return "the program did not start: " + m_error;
        if (!waitToSay("logging every", StartupMs))
            return "not logging: " + said();
        // Logging started between the launch and now.
        m_loggingMs = m_launched.elapsed();
        return waitToSay("first frame from the logger converted", StartupMs) ? QString()
                                                                             : "no frame: " + said();
    }
    bool programRunning() const { return m_program && m_program->state() == QProcess::Running; }
    // SIGTERM, as a service manager stops it: the exit status, or -1.
    int stopProgram()
    {
        ::kill(pid_t(m_program->processId()), SIGTERM);
        if (!m_program->waitForFinished(10000))
            return -1;
        said();
        return m_program->exitStatus() == QProcess::NormalExit ? m_program->exitCode() : -1;
    }
    qint64 programId() const { return m_program->processId(); }
    // Bytes the program has read through system calls so far: the serial stream and files.
    qint64 programBytesRead() const
    {
        QFile io(QString("/proc/%1/io").arg(m_program->processId()));
        const QString text = io.open(QIODevice::ReadOnly) ? QString::fromLatin1(io.readAll()) : "";
        return QRegularExpression("rchar: (\\d+)").match(text).captured(1).toLongLong();
    }
    // All the program said on standard error since it started.
    QString said()
    {
        if (m_program)
            m_said += QString::fromUtf8(m_program->readAllStandardError());
        return m_said;
    }
    // Whether it said needle before the time ran out.
    bool waitToSay(const QString& needle, int timeoutMs)
    {
        (void)QTest::qWaitFor([&] { return said().contains(needle) || !programRunning(); }, timeoutMs);
        return said().contains(needle);
    }

    // GET /api/live; empty when there was no whole answer.
    QJsonObject live() const
    {
        const HttpReply r = httpAsk(m_port, "GET /api/live HTTP/1.0\r\n\r\n");
        return r.status == 200 ? QJsonDocument::fromJson(r.body).object() : QJsonObject();
    }
    // The status lines of /api/live, one a line; empty when nothing is wrong.
    QString status() const
    {
        const QJsonObject o = live();
        return o.isEmpty() ? "(no answer from /api/live)"
                           : o.value("status").toVariant().toStringList().join('\n');
    }
    // The status once it has held each needle in turn, or as it was when the time ran out.
    QString waitForStatus(const QStringList& needles, int timeoutMs) const
    {
        QString now;
        for (const QString& needle : needles)
            (void)QTest::qWaitFor([&] { return (now = status()).contains(needle); }, timeoutMs);
        return now;
    }

    // Every line of every day's log, oldest day first.
    QList<QByteArray> logLines() const
    {
        // Day stamps have no leading zeros, so the days are ordered by date rather than by name.
        QMap<QDate, QByteArray> days;
        // The day logs, not the day's energy kept beside them.
        for (const QString& name : QDir(path("logs")).entryList({"*_*_*.txt"}))
            days[QDate::fromString(name.chopped(4), "yyyy_M_d")] = read("logs/" + name);
        QList<QByteArray> lines;
        for (QByteArray text : days) {
            // A whole file ends with CR LF; anything after the last one is a broken record.
            if (text.endsWith("\r\n"))
                text.chop(2);
            if (!text.isEmpty())
                lines += text.replace("\r\n", "\n").split('\n');
        }
        return lines;
    }
    // Lines holding marker in the files of folder that match filter, headers (<b>) left out.
    int linesIn(const QString& folder, const QString& filter, const QByteArray& marker) const
    {
        int count = 0;
        for (const QString& name : QDir(path(folder)).entryList({filter}, QDir::Files)) {
            for (const QByteArray& line : read(folder + "/" + name).split('\n'))
                count += line.contains(marker) && !line.contains("<b>") ? 1 : 0;
        }
        return count;
    }
    // Today's watt-hours in logs/energy.txt, or -1.
    double energy() const
    {
        const QRegularExpression line("^" + QDate::currentDate().toString("yyyy-MM-dd") + " (\\S+)",
                                      QRegularExpression::MultilineOption);
        const QRegularExpressionMatch m = line.match(QString::fromLatin1(read("logs/energy.txt")));
        return m.hasMatch() ? m.captured(1).toDouble() : -1;
    }
    // Logging ticks that must have come since logging started, allowing one to be 2 s late.
    int ticksAtLeast() const
    {
        return int((m_launched.elapsed() - m_loggingMs - 2000) / IntervalMs);
    }
    // Running, and still converting new frames.
    QString stillLive() const
    {
        // A program that stopped cannot answer, so it shows as no new frame.
        const QString before = live().value("time").toString();
        QString now;
        const auto moved = [&] {
            return !(now = live().value("time").toString()).isEmpty() && now != before;
        };
        return QTest::qWaitFor(moved, 15000) ? QString()
                                             : "no frame converted since " + before + ", now " + now;
    }
    // Every tick since start-up has its whole record after the earlier lines of the log.
    QString everyTickLogged(int earlier = 0) const
    {
        // Counted half way between two ticks, where the number of ticks that have come is beyond
        // doubt: at least those due since logging was seen, at most those since the launch.
        const qint64 phase = (m_launched.elapsed() - m_loggingMs) % IntervalMs;
        QTest::qWait(int((IntervalMs * 3 / 2 - phase) % IntervalMs));
        const int least = ticksAtLeast();
        const QList<QByteArray> lines = logLines();
        const int most = int(m_launched.elapsed() / IntervalMs);
        const QRegularExpression record("^<V>[^<]+</V><I>[^<]+</I><W>[^<]+</W><R>[^<]+</R><S>[^<]+"
                                        "</S><M>-?\\d+</M><T>\\d\\d:\\d\\d</T>$");
        for (const QByteArray& line : lines)
            if (!record.match(QString::fromLatin1(line)).hasMatch())
                return "a broken record: " + QString::fromLatin1(line);
        const int records = int(lines.size()) - earlier;
        if (records < least || records > most)
            return QString("%1 records for %2 to %3 ticks").arg(records).arg(least).arg(most);
        return {};
    }

    // Read-only: for root, whom permission bits do not stop, a read-only bind mount of the
    // folder over itself. Mounts are undone when the rig goes.
    bool makeReadOnly()
    {
        return geteuid() != 0 ? shell("chmod -R a-w \"$1\"")
                              : shell("mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\"");
    }
    bool makeWritable()
    {
        return geteuid() != 0 ? shell("chmod -R u+w \"$1\"") : shell("mount -o remount,bind,rw \"$1\"");
    }
private:
    // SIGKILL: for the simulator, as when the device is unplugged, the link is left behind.
    static void stop(std::unique_ptr<QProcess>& process)
    {
        if (process) {
            process->kill();
            process->waitForFinished(3000);
        }
        process.reset();
    }
    // sh -c script with the program folder as $1; on failure its output goes to error().
    bool shell(const QString& script) const
    {
        QProcess sh;
        sh.setProcessChannelMode(QProcess::MergedChannels);
        sh.start("sh", {"-c", script, "sh", m_dir.path()});
        if (sh.waitForFinished(10000) && sh.exitStatus() == QProcess::NormalExit && sh.exitCode() == 0)
            return true;
        sh.kill();
        sh.waitForFinished(1000);
        m_error = QString::fromLocal8Bit(sh.readAll().trimmed());
        return false;
    }

    mutable QString m_error;
    std::unique_ptr<QProcess> m_sim;
    std::unique_ptr<QProcess> m_program;
    QString m_said;
    quint16 m_port = 0;
    QElapsedTimer m_launched;
    qint64 m_loggingMs = 0; // when the program was seen to log, since launch
};
