#include "E2eRig.h"

#include "common/DayStamp.h"
#include "config/ProgramConfig.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace {

void stop(std::unique_ptr<QProcess>& process)
{
    if (!process)
        return;
    process->terminate();
    if (!process->waitForFinished(3000)) {
        process->kill();
        process->waitForFinished(3000);
    }
    process.reset();
}

QProcessEnvironment environment(const QString& display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    return env;
}

int number(const QByteArray& text, const QString& key)
{
    return QRegularExpression(key + "=(\\d+)").match(QString::fromLatin1(text)).captured(1).toInt();
}

} // namespace

E2eRig::E2eRig()
{
    // Laid out as an installation would be: dist/ and the binary beside it.
    if (shell(QString("cp -a '%1'/. \"$1\" && cp '%2' \"$1\"").arg(WENDRO_DIST, WENDRO_BINARY)))
        startDisplay();
}

E2eRig::~E2eRig()
{
    stop(m_program);
    stop(m_sim);
    // Lazily, so a file still open somewhere cannot keep the mount and the folder alive.
    geteuid() != 0 ? makeWritable() : shell("umount -l \"$1\"");
    stop(m_xvfb);
}

int E2eRig::run(const QString& program, const QStringList& arguments, QByteArray* out) const
{
    QProcess process;
    process.setProcessEnvironment(environment(m_display));
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return -1;
    }
    if (out)
        *out = process.readAll();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool E2eRig::startDisplay()
{
    // Another X server shutting down at the same moment can take the new display's socket
    // with it; then start again on another display.
    for (int attempt = 0; attempt < 3; ++attempt) {
        stop(m_xvfb);
        m_xvfb = std::make_unique<QProcess>();
        // -displayfd 1: Xvfb picks a free display and prints its number when it is ready.
        m_xvfb->start("Xvfb",
                      {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        QByteArray out;
        QDeadlineTimer deadline(10000);
        while (m_xvfb->waitForStarted(5000) && !out.contains('\n') && !deadline.hasExpired()) {
            m_xvfb->waitForReadyRead(200);
            out += m_xvfb->readAllStandardOutput();
        }
        m_display = ":" + QString::fromLatin1(out.trimmed());
        if (out.contains('\n') && run("xwininfo", {"-root"}) == 0)
            return true;
    }
    m_error = "no X display from Xvfb: " + m_xvfb->errorString();
    return false;
}

void E2eRig::write(const QString& relative, const QByteArray& bytes) const
{
    QFile file(path(relative));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QByteArray E2eRig::read(const QString& relative) const
{
    QFile file(path(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray E2eRig::loggingConfig()
{
    ProgramConfig config = ProgramConfig::defaults();
    config.LogOn = config.Savehtml = config.SaveExcel = "1";
    config.LogDelay = "10";
    return config.fileText();
}

QString E2eRig::today()
{
    return DayStamp(QDate::currentDate());
}

bool E2eRig::startSim(const QStringList& arguments)
{
    stop(m_sim);
    // A link left by a killed simulator would pass for the new one below.
    if (QFileInfo(path("COM1")).isSymLink())
        QFile::remove(path("COM1"));
    m_sim = std::make_unique<QProcess>();
    m_sim->start(WENDRO_SIM, QStringList{"--dir", m_dir.path()} + arguments);
    // The link exists once the simulator has told us where it points.
    QDeadlineTimer deadline(5000);
    while (m_sim->waitForStarted(5000) && !QFileInfo(path("COM1")).isSymLink() &&
           !deadline.hasExpired())
        QThread::msleep(20);
    if (!QFileInfo(path("COM1")).isSymLink())
        m_error = "the simulator did not start";
    return m_error.isEmpty();
}

void E2eRig::killSim()
{
    ::kill(pid_t(m_sim->processId()), SIGKILL);
    stop(m_sim);
}

bool E2eRig::startProgram()
{
    // The display answered when the rig was made, but another X server's shutdown can take
    // its socket along later; then the program could not start, so start a new display.
    if (!m_error.isEmpty() || (run("xwininfo", {"-root"}) != 0 && !startDisplay()))
        return false;
    m_program = std::make_unique<QProcess>();
    QProcessEnvironment env = environment(m_display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    m_program->setProcessEnvironment(env);
    m_program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_launched.start();
    m_program->start(path("wendro"), {});
    return m_program->waitForStarted(5000);
}

QString E2eRig::startLive()
{
    if (!m_sim && !startSim())
        return m_error;
    if (!startProgram())
        return "the program did not start " + m_error;
    if (waitForTitle(Live, Waiting, StartupMs).isEmpty())
        return "no live values: " + windowTitles().join(" | ");
    // Logging that starts at launch begins while the window is built, so between
    // startProgram() and now.
    m_shownMs = m_launched.elapsed();
    return {};
}

bool E2eRig::programRunning() const
{
    return m_program && m_program->state() == QProcess::Running;
}

qint64 E2eRig::programBytesRead() const
{
    QFile io(QString("/proc/%1/io").arg(m_program->processId()));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    return number(io.readAll().replace(": ", "="), "rchar");
}

QStringList E2eRig::windowTitles() const
{
    QByteArray out;
    run("xdotool", {"search", "--onlyvisible", "--classname", "^wendro$", "getwindowname", "%@"},
        &out);
    return QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
}

QString E2eRig::waitForTitle(const QString& prefix, const QString& notThis, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        for (const QString& title : windowTitles()) {
            if (title.startsWith(prefix) && title != notThis)
                return title;
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return {};
}

QString E2eRig::copyStatus() const
{
    QByteArray window;
    if (run("xdotool",
            {"search", "--onlyvisible", "--name", "^Wendro( -|  )", "getwindowgeometry", "--shell"},
            &window) != 0)
        return "(no main window)";
    const QString id = QString::number(number(window, "WINDOW"));
    const int width = number(window, "WIDTH");
    const int height = number(window, "HEIGHT");

    // A marker in the selection first, so a drag that selects nothing is told from one that
    // did: the status line is shown only when there is something to say.
    const QByteArray marker = "(nothing selected)";
    run("sh", {"-c", "printf '" + marker + "' | xclip -selection primary -i >/dev/null 2>&1"});
    const auto primary = [this] {
        QByteArray out;
        return run("xclip", {"-selection", "primary", "-o"}, &out) == 0 ? out : QByteArray();
    };
    QDeadlineTimer owned(3000);
    while (primary() != marker && !owned.hasExpired())
        QThread::msleep(20);

    // From the bottom right corner, inside the status line, up past its first line.
    run("xdotool",
        {"mousemove", "--window", id, QString::number(width - 2), QString::number(height - 2),
         "mousedown", "1", "mousemove", "--window", id, QString::number(width / 2),
         QString::number(height / 2), "mousemove", "--window", id, "1", "1", "mouseup", "1"});
    QDeadlineTimer answered(1500);
    QByteArray text = primary();
    while (text == marker && !answered.hasExpired()) {
        QThread::msleep(50);
        text = primary();
    }
    return text == marker ? QString() : QString::fromUtf8(text);
}

QString E2eRig::statusText() const
{
    // The window grows with the status line a moment after its text changes; a copy taken
    // in between misses the end, so copy until two copies agree.
    QString last = copyStatus();
    for (int i = 0; i < 5; ++i) {
        const QString again = copyStatus();
        if (again == last)
            break;
        last = again;
    }
    return last;
}

QString E2eRig::waitForStatus(const QStringList& needles, int timeoutMs) const
{
    QString status;
    (void)QTest::qWaitFor(
        [&] {
            status = statusText();
            return std::all_of(needles.begin(), needles.end(),
                               [&](const QString& needle) { return status.contains(needle); });
        },
        timeoutMs);
    return status;
}

QList<QByteArray> E2eRig::logLines() const
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

int E2eRig::linesIn(const QString& folder, const QString& filter, const QByteArray& marker) const
{
    int count = 0;
    for (const QString& name : QDir(path(folder)).entryList({filter}, QDir::Files)) {
        for (const QByteArray& line : read(folder + "/" + name).split('\n'))
            count += line.contains(marker) && !line.contains("<b>") ? 1 : 0;
    }
    return count;
}

int E2eRig::historyLines() const
{
    return linesIn("html", "history*.txt", "\t\t");
}

int E2eRig::sheetRows() const
{
    return linesIn("Excel", "*.xls", "<tr><td>"); // leaving out the header
}

int E2eRig::ticksAtLeast() const
{
    const qint64 lateness = 2000;
    return int(qMax<qint64>(0, m_launched.elapsed() - m_shownMs - lateness) / IntervalMs);
}

QString E2eRig::stillLive() const
{
    if (!programRunning())
        return "the program stopped";
    const QString now = waitForTitle(Live, Waiting, 2000);
    if (waitForTitle(Live, now, 15000).isEmpty())
        return "the values stopped changing at " + now;
    if (windowTitles().size() != 1)
        return "another window popped up: " + windowTitles().join(" | ");
    return {};
}

QString E2eRig::everyTickLogged(int earlier) const
{
    // Counted half way between two ticks, where the number of ticks that have come is beyond
    // doubt: at least those due since the window showed, at most those since the launch.
    const qint64 phase = (m_launched.elapsed() - m_shownMs) % IntervalMs;
    QTest::qWait(int((IntervalMs * 3 / 2 - phase) % IntervalMs));
    const int least = ticksAtLeast();
    const QList<QByteArray> lines = logLines();
    const int most = int(m_launched.elapsed() / IntervalMs);
    const QRegularExpression record("^<V>[^<]+</V><I>[^<]+</I><W>[^<]+</W><R>[^<]+</R><S>[^<]+"
                                    "</S><M>-?\\d+</M><T>\\d\\d:\\d\\d</T>$");
    for (const QByteArray& line : lines) {
        if (!record.match(QString::fromLatin1(line)).hasMatch())
            return "a broken record: " + QString::fromLatin1(line);
    }
    const int records = int(lines.size()) - earlier;
    if (records < least || records > most)
        return QString("%1 records for %2 to %3 ticks").arg(records).arg(least).arg(most);
    return {};
}

bool E2eRig::shell(const QString& script)
{
    QByteArray out;
    if (run("sh", {"-c", script, "sh", m_dir.path()}, &out) == 0)
        return true;
    m_error = QString::fromLocal8Bit(out.trimmed());
    return false;
}

bool E2eRig::makeReadOnly()
{
    return geteuid() != 0 ? shell("chmod -R a-w \"$1\"")
                          : shell("mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\"");
}

bool E2eRig::makeWritable()
{
    return geteuid() != 0 ? shell("chmod -R u+w \"$1\"") : shell("mount -o remount,bind,rw \"$1\"");
}

bool E2eRig::moveToSmallDisk(qint64 spareBytes)
{
    return shell(QString("set -e; s=$(mktemp -d); cp -a \"$1\"/. $s; "
                         "kb=$(($(du -sk $s | cut -f1) + %1)); "
                         "mount -t tmpfs -o size=${kb}k tmpfs \"$1\"; cp -a $s/. \"$1\"; rm -rf $s")
                     .arg(spareBytes / 1024));
}

QString E2eRig::fillDisk() const
{
    run("sh", {"-c", "cat /dev/zero > \"$1\"/filler", "sh", m_dir.path()});
    return "filler";
}
