#pragma once

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
    bool startProgram();
    // Titles of the program's top-level windows, read from the X server.
    QStringList windowTitles() const;
    // Waits until a window title starts with prefix and differs from notThis.
    QString waitForTitle(const QString& prefix, const QString& notThis, int timeoutMs) const;

private:
    bool startDisplay();

    QTemporaryDir m_dir;
    QString m_display;
    QString m_error;
    QByteArray m_simOutput;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_sim;
    std::unique_ptr<QProcess> m_program;
};
