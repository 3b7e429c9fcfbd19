#include "E2eRig.h"
#include "HttpAsk.h"

#include "config/ProgramConfig.h"

#include <QJsonDocument>
#include <QRegularExpression>

#include <csignal>
#include <unistd.h>

E2eRig::E2eRig()
{
    // Laid out as an installation would be.
    shell(QString("cp -a '%1'/. \"$1\"").arg(WENDRO_DIST));
}

E2eRig::~E2eRig()
{
    stop(m_program);
    stop(m_sim);
    // Lazily, so a file still open somewhere cannot keep the mount and the folder alive.
    geteuid() != 0 ? makeWritable() : shell("umount -l \"$1\"");
}

QProcessEnvironment E2eRig::noDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    return env;
}

QByteArray E2eRig::loggingConfig()
{
    ProgramConfig config = ProgramConfig::defaults();
    config.Savehtml = config.SaveExcel = "1";
    config.LogDelay = "10";
    return config.fileText();
}

// SIGKILL: for the simulator, as when the device is unplugged, the link is left behind.
void E2eRig::stop(std::unique_ptr<QProcess>& process)
{
    if (process) {
        process->kill();
        process->waitForFinished(3000);
    }
    process.reset();
}

bool E2eRig::startSim(const QStringList& arguments)
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

bool E2eRig::startProgram(const QStringList& more)
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

QString E2eRig::startLive()
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

int E2eRig::stopProgram()
{
    ::kill(pid_t(m_program->processId()), SIGTERM);
    if (!m_program->waitForFinished(10000))
        return -1;
    said();
    return m_program->exitStatus() == QProcess::NormalExit ? m_program->exitCode() : -1;
}

qint64 E2eRig::programBytesRead() const
{
    QFile io(QString("/proc/%1/io").arg(m_program->processId()));
    const QString text = io.open(QIODevice::ReadOnly) ? QString::fromLatin1(io.readAll()) : "";
    return QRegularExpression("rchar: (\\d+)").match(text).captured(1).toLongLong();
}

QString E2eRig::said()
{
    if (m_program)
        m_said += QString::fromUtf8(m_program->readAllStandardError());
    return m_said;
}

bool E2eRig::waitToSay(const QString& needle, int timeoutMs)
{
    (void)QTest::qWaitFor([&] { return said().contains(needle) || !programRunning(); }, timeoutMs);
    return said().contains(needle);
}

QJsonObject E2eRig::live() const
{
    const HttpReply r = httpAsk(m_port, "GET /api/live HTTP/1.0\r\n\r\n");
    return r.status == 200 ? QJsonDocument::fromJson(r.body).object() : QJsonObject();
}

QString E2eRig::status() const
{
    const QJsonObject o = live();
    return o.isEmpty() ? "(no answer from /api/live)"
                       : o.value("status").toVariant().toStringList().join('\n');
}

QString E2eRig::waitForStatus(const QStringList& needles, int timeoutMs) const
{
    QString now;
    for (const QString& needle : needles)
        (void)QTest::qWaitFor([&] { return (now = status()).contains(needle); }, timeoutMs);
    return now;
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

double E2eRig::energy() const
{
    const QRegularExpression line("^" + QDate::currentDate().toString("yyyy-MM-dd") + " (\\S+)",
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(QString::fromLatin1(read("logs/energy.txt")));
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

QString E2eRig::stillLive() const
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

QString E2eRig::everyTickLogged(int earlier) const
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

bool E2eRig::shell(const QString& script) const
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
