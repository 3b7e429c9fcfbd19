#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// The real program and the device simulator in a fresh program folder, on a private X
// display, so a test sees what a user would: the window caption and the files written.
class E2eRig
{
public:
    E2eRig();
    ~E2eRig();

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    void write(const QString& relative, const QByteArray& bytes) const;

    // The simulator's arguments after --dir; its printed frames are kept in simOutput().
    bool startSim(const QStringList& arguments);
    void stopSim();
    QByteArray simOutput();
    // SIGKILL, as when the device is unplugged: the link is left behind, pointing nowhere.
    void killSim();
    bool startProgram();
    bool programRunning() const;
    // Bytes the program has read through system calls so far: the serial stream and files.
    qint64 programBytesRead() const;
    // Titles of the program's top-level windows, read from the X server.
    QStringList windowTitles() const;
    // Waits until a window title starts with prefix and differs from notThis.
    QString waitForTitle(const QString& prefix, const QString& notThis, int timeoutMs) const;
    // Every line of every day's log, oldest day first.
    QList<QByteArray> logLines() const;
    // Logging that starts at launch begins while the window is built, so between
    // startProgram() and the moment the caller first saw the window (markShown). Hence the
    // logging ticks that must have come by now (allowing a tick to run a little late) and
    // the most that can have come.
    void markShown() { m_shownMs = m_launched.elapsed(); }
    qint64 msSinceShown() const { return m_launched.elapsed() - m_shownMs; }
    int ticksAtLeast(int intervalMs) const;
    int ticksAtMost(int intervalMs) const;

    // Top-level windows the program shows: one unless a message box or dialog popped up.
    int programWindowCount() const;
    // The status line at the foot of the main window, read the way a user copies it: a
    // mouse drag over the text, then the X primary selection. Empty when nothing is shown.
    QString statusText() const;

    // Disk faults. On failure these return false and say why in error(); whatever was
    // mounted is undone when the rig goes.
    // Read-only and back: as root, whom permission bits do not stop, a read-only bind mount
    // of the folder over itself; otherwise the write bits are taken away.
    bool makeReadOnly();
    bool makeWritable();
    // Moves the program folder onto a tmpfs with room for its files and spareBytes more
    // (root only).
    bool moveToSmallDisk(qint64 spareBytes);
    // Writes a file until the disk is full; returns its name relative to the folder.
    QString fillDisk() const;

private:
    bool startDisplay();
    QString copyStatus() const;
    int run(const QString& program, const QStringList& arguments, QByteArray* out = nullptr) const;
    bool mount(const QStringList& arguments);
    QProcessEnvironment displayEnvironment() const;

    QTemporaryDir m_dir;
    QString m_display;
    QString m_error;
    QByteArray m_simOutput;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_sim;
    std::unique_ptr<QProcess> m_program;
    int m_mounts = 0;
    int m_displayTries = 0;
    QElapsedTimer m_launched;
    qint64 m_shownMs = 0;
};
