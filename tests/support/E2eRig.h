#pragma once

#include <QElapsedTimer>
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

// The real program and the device simulator in a fresh program folder, on a private X
// display, so a test sees what a user would: the window caption, the status line and the files.
// Checks return an empty text when they pass, else what they saw.
class E2eRig
{
public:
    static constexpr int IntervalMs = 10000; // the logging interval of loggingConfig()
    // A sanitized build on a busy machine can take long to show its first window.
    static constexpr int StartupMs = 60000;
    static inline const QString Live = QStringLiteral("Wendro  ");
    static inline const QString Waiting = QStringLiteral("Wendro - Waiting for Signal");

    E2eRig();
    ~E2eRig();

    QString error() const { return m_error; }
    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    void write(const QString& relative, const QByteArray& bytes) const;
    QByteArray read(const QString& relative) const;
    // Logging from start-up every 10 s, with the web page and the spreadsheet.
    static QByteArray loggingConfig();
    static QString today();

    // The simulator's arguments after --dir; by default values change often without loading
    // the machine.
    bool startSim(const QStringList& arguments = {"--interval-ms", "200", "--seed", "3"});
    // SIGKILL, as when the device is unplugged: the link is left behind, pointing nowhere.
    void killSim();
    bool startProgram();
    // The simulator unless one runs, then the program, until its title shows live values.
    QString startLive();
    bool programRunning() const;
    // Bytes the program has read through system calls so far: the serial stream and files.
    qint64 programBytesRead() const;
    // Titles of the program's windows: one unless a message box or dialog popped up.
    QStringList windowTitles() const;
    // Waits until a window title starts with prefix and differs from notThis.
    QString waitForTitle(const QString& prefix, const QString& notThis, int timeoutMs) const;
    // The status line at the foot of the main window, read the way a user copies it: a
    // mouse drag over the text, then the X primary selection. Empty when nothing is shown.
    QString statusText() const;
    // The status line once it holds every needle, or as it was when the time ran out.
    QString waitForStatus(const QStringList& needles, int timeoutMs) const;

    // Every line of every day's log, oldest day first.
    QList<QByteArray> logLines() const;
    int historyLines() const;
    int sheetRows() const;
    // Logging ticks that must have come since the window showed, allowing one to be late.
    int ticksAtLeast() const;
    // Running, still showing new values, and no message box or other window popped up.
    QString stillLive() const;
    // Every tick since start-up has its whole record after the earlier lines of the log.
    QString everyTickLogged(int earlier = 0) const;

    // Read-only: for root, whom permission bits do not stop, a read-only bind mount of the
    // folder over itself. Mounts are undone when the rig goes.
    bool makeReadOnly();
    bool makeWritable();
    // Moves the program folder onto a tmpfs with room for its files and spareBytes more.
    bool moveToSmallDisk(qint64 spareBytes);
    // Writes a file until the disk is full; returns its name relative to the folder.
    QString fillDisk() const;

private:
    bool startDisplay();
    QString copyStatus() const;
    int linesIn(const QString& folder, const QString& filter, const QByteArray& marker) const;
    int run(const QString& program, const QStringList& arguments, QByteArray* out = nullptr) const;
    // sh -c script with the program folder as $1; on failure its output goes to error().
    bool shell(const QString& script);

    QTemporaryDir m_dir;
    QString m_display;
    QString m_error;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_sim;
    std::unique_ptr<QProcess> m_program;
    QElapsedTimer m_launched;
    qint64 m_shownMs = 0;
};
