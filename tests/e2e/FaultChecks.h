#pragma once

#include "config/ProgramConfig.h"
#include "logging/LogRecord.h"
#include "support/E2eRig.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

// Fails the test with the text a check returned, when it returned one.
#define VERIFY_NO_PROBLEM(check)                                                                   \
    do {                                                                                           \
        const QString problem_ = (check);                                                          \
        QVERIFY2(problem_.isEmpty(), qPrintable(problem_));                                        \
    } while (false)

// What the fault tests check on the real program: it still runs and shows new values, no
// window popped up, and every logging tick has its whole record.
namespace FaultChecks {

inline constexpr int IntervalMs = 10000;
// A sanitized build on a busy machine can take long to show its first window.
inline constexpr int StartupMs = 60000;
inline const QString Live = QStringLiteral("Wendro  ");
inline const QString Waiting = QStringLiteral("Wendro - Waiting for Signal");
inline const QRegularExpression
    Record(QStringLiteral("^<V>[^<]+</V><I>[^<]+</I><W>[^<]+</W><R>[^<]+</R><S>[^<]+</S><M>-?\\d+</"
                          "M><T>\\d\\d:\\d\\d</T>$"));

inline QString today()
{
    return DayStamp(QDate::currentDate());
}

// Logging from start-up every 10 s, with the web page and the spreadsheet.
inline QByteArray loggingConfig()
{
    ProgramConfig config = ProgramConfig::defaults();
    config.LogOn = "1";
    config.LogDelay = "10";
    config.Savehtml = "1";
    config.SaveExcel = "1";
    return config.fileText();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lines in the files of a folder that hold a marker, leaving out spreadsheet headers.
inline int linesIn(const E2eRig& rig, const QString& folder, const QString& filter,
                   const QByteArray& marker)
{
    int count = 0;
    for (const QString& name : QDir(rig.path(folder)).entryList({filter}, QDir::Files)) {
        for (const QByteArray& line : readFile(rig.path(folder + "/" + name)).split('\n'))
            count += line.contains(marker) && !line.contains("<b>") ? 1 : 0;
    }
    return count;
}

inline int historyLines(const E2eRig& rig)
{
    return linesIn(rig, "html", "history*.txt", "\t\t");
}

inline int sheetRows(const E2eRig& rig)
{
    return linesIn(rig, "Excel", "*.xls", "<tr><td>");
}

// The simulator paced at 200 ms, so values change often without loading the machine.
inline QString startSimulator(E2eRig& rig)
{
    if (!rig.ok())
        return rig.error();
    return rig.startSim({"--interval-ms", "200", "--seed", "3"}) ? QString()
                                                                 : "the simulator did not start";
}

// Starts the program and waits for the simulator's values in its title.
inline QString startProgram(E2eRig& rig)
{
    if (!rig.startProgram())
        return "the program did not start";
    if (rig.waitForTitle(Live, Waiting, StartupMs).isEmpty())
        return "no live values: " + rig.windowTitles().join(" | ");
    rig.markShown();
    return {};
}

// Running, still showing new values, and no message box or other window popped up.
inline QString stillLive(const E2eRig& rig)
{
    if (!rig.programRunning())
        return "the program stopped";
    const QString now = rig.waitForTitle(Live, Waiting, 2000);
    if (rig.waitForTitle(Live, now, 15000).isEmpty())
        return "the values stopped changing at " + now;
    if (rig.programWindowCount() != 1)
        return "another window popped up: " + rig.windowTitles().join(" | ");
    return {};
}

// Every tick since start-up has its whole record after the earlier lines of the log. Counted
// half way between two ticks, where the number of ticks that have come is beyond doubt.
inline QString everyTickLogged(const E2eRig& rig, int earlier = 0)
{
    const qint64 phase = rig.msSinceShown() % IntervalMs;
    QTest::qWait(int((IntervalMs * 3 / 2 - phase) % IntervalMs));
    const int least = rig.ticksAtLeast(IntervalMs);
    const QList<QByteArray> lines = rig.logLines();
    const int most = rig.ticksAtMost(IntervalMs);
    for (const QByteArray& line : lines) {
        if (!Record.match(QString::fromLatin1(line)).hasMatch())
            return "a broken record: " + QString::fromLatin1(line);
    }
    const int records = int(lines.size()) - earlier;
    if (records < least || records > most)
        return QString("%1 records for %2 to %3 ticks").arg(records).arg(least).arg(most);
    return {};
}

// The status line once it holds the needle, or as it was when the time ran out.
inline QString waitForStatus(const E2eRig& rig, const QString& needle, int timeoutMs)
{
    QString status;
    (void)QTest::qWaitFor([&] { return (status = rig.statusText()).contains(needle); }, timeoutMs);
    return status;
}

} // namespace FaultChecks
