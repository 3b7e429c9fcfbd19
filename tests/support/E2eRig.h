#pragma once

#include "common/DayStamp.h"
#include "support/TempFolder.h"
#include <QElapsedTimer>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

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

    E2eRig();
    ~E2eRig();

    QString error() const { return m_error; }
    // Every 10 s with the web page and the spreadsheet; LogOn off, which the service ignores.
    static QByteArray loggingConfig();
    static QString today() { return DayStamp(QDate::currentDate()); }
    // The environment of a machine with no display of any kind.
    static QProcessEnvironment noDisplay();

    // The simulator's arguments after --dir; by default values change often without loading
    // the machine.
    bool startSim(const QStringList& arguments = {"--interval-ms", "200", "--seed", "3"});
    // SIGKILL, as when the device is unplugged: the link is left behind, pointing nowhere.
    void killSim() { stop(m_sim); }
    // wendro --headless --listen 127.0.0.1:0 --dir <folder> [more], until it says where it
    // listens.
    bool startProgram(const QStringList& more = {});
    // The simulator unless one runs, then the program, until it has converted a frame.
    QString startLive();
    bool programRunning() const { return m_program && m_program->state() == QProcess::Running; }
    // SIGTERM, as a service manager stops it: the exit status, or -1.
    int stopProgram();
    // Bytes the program has read through system calls so far: the serial stream and files.
    qint64 programBytesRead() const;
    // All the program said on standard error since it started.
    QString said();
    // Whether it said needle before the time ran out.
    bool waitToSay(const QString& needle, int timeoutMs);

    // GET /api/live; empty when there was no whole answer.
    QJsonObject live() const;
    // The status lines of /api/live, one a line; empty when nothing is wrong.
    QString status() const;
    // The status once it has held each needle in turn, or as it was when the time ran out.
    QString waitForStatus(const QStringList& needles, int timeoutMs) const;

    // Every line of every day's log, oldest day first.
    QList<QByteArray> logLines() const;
    // Lines holding marker in the files of folder that match filter, headers (<b>) left out.
    int linesIn(const QString& folder, const QString& filter, const QByteArray& marker) const;
    // Today's watt-hours in logs/energy.txt, or -1.
    double energy() const;
    // Logging ticks that must have come since logging started, allowing one to be 2 s late.
    int ticksAtLeast() const
    {
        return int((m_launched.elapsed() - m_loggingMs - 2000) / IntervalMs);
    }
    // Running, and still converting new frames.
    QString stillLive() const;
    // Every tick since start-up has its whole record after the earlier lines of the log.
    QString everyTickLogged(int earlier = 0) const;

    // Read-only: for root, whom permission bits do not stop, a read-only bind mount of the
    // folder over itself. Mounts are undone when the rig goes.
    bool makeReadOnly();
    bool makeWritable();
    // Moves the program folder onto a tmpfs with room for its files and spareBytes more.
    bool moveToSmallDisk(qint64 spareBytes);

private:
    static void stop(std::unique_ptr<QProcess>& process);
    // sh -c script with the program folder as $1; on failure its output goes to error().
    bool shell(const QString& script) const;

    mutable QString m_error;
    std::unique_ptr<QProcess> m_sim;
    std::unique_ptr<QProcess> m_program;
    QString m_said;
    quint16 m_port = 0;
    QElapsedTimer m_launched;
    qint64 m_loggingMs = 0; // when the program was seen to log, since launch
};
