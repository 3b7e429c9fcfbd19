#include "E2eRig.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcessEnvironment>
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

} // namespace

E2eRig::E2eRig()
{
    // Lay out the program folder as an installation would: the files from dist/ and the
    // binary beside them.
    QDirIterator it(QStringLiteral(WENDRO_DIST), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString relative = QDir(QStringLiteral(WENDRO_DIST)).relativeFilePath(source);
        QDir().mkpath(QFileInfo(m_dir.filePath(relative)).absolutePath());
        QFile::copy(source, m_dir.filePath(relative));
    }
    for (const char* folder : {"logs", "html", "Excel"})
        QDir(m_dir.path()).mkpath(QString::fromLatin1(folder));
    if (!QFile::copy(QStringLiteral(WENDRO_BINARY), m_dir.filePath(QStringLiteral("wendro"))))
        m_error = QStringLiteral("cannot copy the program binary");
    else
        startDisplay();
}

E2eRig::~E2eRig()
{
    stop(m_program);
    stopSim();
    if (geteuid() != 0)
        makeWritable();
    // Lazily, so a file still open somewhere cannot keep the mount and the folder alive.
    for (; m_mounts > 0; --m_mounts)
        run(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir.path()});
    stop(m_xvfb);
}

int E2eRig::run(const QString& program, const QStringList& arguments, QByteArray* out) const
{
    QProcess process;
    process.setProcessEnvironment(displayEnvironment());
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

QProcessEnvironment E2eRig::displayEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    return env;
}

bool E2eRig::startDisplay()
{
    m_xvfb = std::make_unique<QProcess>();
    m_xvfb->setProcessChannelMode(QProcess::SeparateChannels);
    // -displayfd 1: Xvfb picks a free display and prints its number when it is ready.
    m_xvfb->start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                          QStringLiteral("-screen"), QStringLiteral("0"),
                                          QStringLiteral("1024x768x24"),
                                          QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_xvfb->waitForStarted(5000)) {
        m_error = QStringLiteral("Xvfb did not start: ") + m_xvfb->errorString();
        return false;
    }
    QDeadlineTimer deadline(10000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired()) {
        m_xvfb->waitForReadyRead(200);
        out += m_xvfb->readAllStandardOutput();
    }
    if (!out.contains('\n')) {
        m_error = QStringLiteral("Xvfb did not report a display");
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(out.trimmed());
    // Another server shutting down at the same moment can take the new display's socket
    // with it; then start again on another display.
    if (run(QStringLiteral("xwininfo"), {QStringLiteral("-root")}) == 0)
        return true;
    if (++m_displayTries < 3) {
        stop(m_xvfb);
        return startDisplay();
    }
    m_error = QStringLiteral("cannot connect to the display Xvfb reported: ") + m_display;
    return false;
}

void E2eRig::write(const QString& relative, const QByteArray& bytes) const
{
    QFile file(path(relative));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

bool E2eRig::startSim(const QStringList& arguments)
{
    stopSim();
    // A link left by a killed simulator would pass for the new one below.
    if (QFileInfo(path(QStringLiteral("COM1"))).isSymLink())
        QFile::remove(path(QStringLiteral("COM1")));
    m_sim = std::make_unique<QProcess>();
    m_sim->start(QStringLiteral(WENDRO_SIM), QStringList{QStringLiteral("--dir"), m_dir.path()} +
                                                 arguments);
    if (!m_sim->waitForStarted(5000))
        return false;
    // The link exists once the simulator has told us where it points.
    QDeadlineTimer deadline(5000);
    while (!QFileInfo(path(QStringLiteral("COM1"))).isSymLink() && !deadline.hasExpired())
        QThread::msleep(20);
    return QFileInfo(path(QStringLiteral("COM1"))).isSymLink();
}

void E2eRig::killSim()
{
    if (!m_sim)
        return;
    ::kill(static_cast<pid_t>(m_sim->processId()), SIGKILL);
    m_sim->waitForFinished(3000);
    m_simOutput += m_sim->readAllStandardOutput();
    m_sim.reset();
}

void E2eRig::stopSim()
{
    if (m_sim)
        m_simOutput += m_sim->readAllStandardOutput();
    stop(m_sim);
}

QByteArray E2eRig::simOutput()
{
    if (m_sim)
        m_simOutput += m_sim->readAllStandardOutput();
    return m_simOutput;
}

bool E2eRig::startProgram()
{
    // The display answered when the rig was made, but another X server's shutdown can take
    // its socket along later; then the program could not start, so start a new display.
    if (ok() && run(QStringLiteral("xwininfo"), {QStringLiteral("-root")}) != 0) {
        stop(m_xvfb);
        m_displayTries = 0;
        startDisplay();
    }
    if (!ok())
        return false;
    m_program = std::make_unique<QProcess>();
    QProcessEnvironment env = displayEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_program->setProcessEnvironment(env);
    m_program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_launched.start();
    m_program->start(path(QStringLiteral("wendro")), {});
    return m_program->waitForStarted(5000);
}

bool E2eRig::programRunning() const
{
    return m_program && m_program->state() == QProcess::Running;
}

QStringList E2eRig::windowTitles() const
{
    QProcess xwininfo;
    xwininfo.setProcessEnvironment(displayEnvironment());
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    xwininfo.waitForFinished(5000);
    QStringList titles;
    // Lines look like:  0x200006 "Wendro  12.5V 2.5A": ("wendro" "Wendro")  304x300+0+0
    for (const QByteArray& line : xwininfo.readAllStandardOutput().split('\n')) {
        const int open = line.indexOf('"');
        const int close = line.indexOf("\":", open + 1);
        if (open >= 0 && close > open)
            titles << QString::fromUtf8(line.mid(open + 1, close - open - 1));
    }
    return titles;
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

QList<QByteArray> E2eRig::logLines() const
{
    QList<QByteArray> lines;
    // The day logs, not the day's energy kept beside them.
    QStringList days = QDir(path(QStringLiteral("logs"))).entryList({QStringLiteral("*_*_*.txt")});
    // Day stamps have no leading zeros, so order them by date rather than by name.
    const auto date = [](const QString& name) {
        return QDate::fromString(name.chopped(4), QStringLiteral("yyyy_M_d"));
    };
    std::sort(days.begin(), days.end(),
              [&date](const QString& a, const QString& b) { return date(a) < date(b); });
    for (const QString& day : days) {
        QFile file(path(QStringLiteral("logs/") + day));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QByteArray text = file.readAll();
        // A whole file ends with CR LF; anything after the last one is a broken record.
        if (text.endsWith("\r\n"))
            text.chop(2);
        if (text.isEmpty())
            continue;
        for (QByteArray line : text.split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            lines << line;
        }
    }
    return lines;
}

int E2eRig::ticksAtLeast(int intervalMs) const
{
    const qint64 lateness = 2000;
    return int(qMax<qint64>(0, m_launched.elapsed() - m_shownMs - lateness) / intervalMs);
}

int E2eRig::ticksAtMost(int intervalMs) const
{
    return int(m_launched.elapsed() / intervalMs);
}

qint64 E2eRig::programBytesRead() const
{
    if (!m_program)
        return 0;
    QFile io(QStringLiteral("/proc/%1/io").arg(m_program->processId()));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpression rchar(QStringLiteral("rchar: (\\d+)"));
    return rchar.match(QString::fromLatin1(io.readAll())).captured(1).toLongLong();
}

int E2eRig::programWindowCount() const
{
    QByteArray out;
    run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--classname"),
         QStringLiteral("^wendro$")},
        &out);
    return int(out.trimmed().isEmpty() ? 0 : out.trimmed().split('\n').size());
}

QString E2eRig::copyStatus() const
{
    QByteArray id;
    run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
         QStringLiteral("^Wendro( -|  )")},
        &id);
    id = id.trimmed().split('\n').value(0);
    QByteArray geometry;
    if (id.isEmpty() || run(QStringLiteral("xdotool"),
                            {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                             QString::fromLatin1(id)},
                            &geometry) != 0)
        return QStringLiteral("(no main window)");
    const auto value = [&geometry](const char* key) {
        const QRegularExpression re(QString::fromLatin1(key) + QStringLiteral("=(\\d+)"));
        return re.match(QString::fromLatin1(geometry)).captured(1).toInt();
    };
    const int width = value("WIDTH");
    const int height = value("HEIGHT");

    // A marker in the selection first, so a drag that selects nothing is told from one that
    // did: the status line is shown only when there is something to say.
    const QByteArray marker = "(nothing selected)";
    QProcess in;
    in.setProcessEnvironment(displayEnvironment());
    in.setStandardOutputFile(QProcess::nullDevice());
    in.setStandardErrorFile(QProcess::nullDevice());
    in.start(QStringLiteral("xclip"),
             {QStringLiteral("-selection"), QStringLiteral("primary"), QStringLiteral("-i")});
    in.write(marker);
    in.closeWriteChannel();
    in.waitForFinished(5000);
    const auto primary = [this] {
        QByteArray out;
        if (run(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("primary"), QStringLiteral("-o")},
                &out) != 0)
            return QByteArray();
        return out;
    };
    QDeadlineTimer owned(3000);
    while (primary() != marker && !owned.hasExpired())
        QThread::msleep(20);

    // From the bottom right corner, inside the status line, up past its first line.
    const QString w = QString::fromLatin1(id);
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--window"), w, QString::number(width - 2),
         QString::number(height - 2), QStringLiteral("mousedown"), QStringLiteral("1"),
         QStringLiteral("mousemove"), QStringLiteral("--window"), w, QString::number(width / 2),
         QString::number(height / 2), QStringLiteral("mousemove"), QStringLiteral("--window"), w,
         QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("mouseup"), QStringLiteral("1")});
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

bool E2eRig::mount(const QStringList& arguments)
{
    QByteArray out;
    if (run(QStringLiteral("mount"), arguments, &out) != 0) {
        m_error = QStringLiteral("mount %1: %2")
                      .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(out.trimmed()));
        return false;
    }
    return true;
}

bool E2eRig::makeReadOnly()
{
    // Root writes through permission bits; anyone else is stopped by them.
    if (geteuid() != 0) {
        return run(QStringLiteral("chmod"),
                   {QStringLiteral("-R"), QStringLiteral("a-w"), m_dir.path()}) == 0;
    }
    if (!mount({QStringLiteral("--bind"), m_dir.path(), m_dir.path()}))
        return false;
    ++m_mounts;
    return mount({QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), m_dir.path()});
}

bool E2eRig::makeWritable()
{
    if (geteuid() != 0) {
        return run(QStringLiteral("chmod"),
                   {QStringLiteral("-R"), QStringLiteral("u+w"), m_dir.path()}) == 0;
    }
    return mount({QStringLiteral("-o"), QStringLiteral("remount,bind,rw"), m_dir.path()});
}

bool E2eRig::moveToSmallDisk(qint64 spareBytes)
{
    QByteArray used;
    if (run(QStringLiteral("du"), {QStringLiteral("-sk"), m_dir.path()}, &used) != 0) {
        m_error = QStringLiteral("du failed: ") + QString::fromLocal8Bit(used);
        return false;
    }
    const qint64 sizeKb = used.split('\t').value(0).toLongLong() + spareBytes / 1024;
    QTemporaryDir stash;
    if (run(QStringLiteral("cp"),
            {QStringLiteral("-a"), m_dir.path() + QStringLiteral("/."), stash.path()}) != 0) {
        m_error = QStringLiteral("cannot copy the program folder aside");
        return false;
    }
    if (!mount({QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                QStringLiteral("size=%1k").arg(sizeKb), QStringLiteral("tmpfs"), m_dir.path()}))
        return false;
    ++m_mounts;
    if (run(QStringLiteral("cp"),
            {QStringLiteral("-a"), stash.path() + QStringLiteral("/."), m_dir.path()}) != 0) {
        m_error = QStringLiteral("the program folder does not fit on the small disk");
        return false;
    }
    return true;
}

QString E2eRig::fillDisk() const
{
    const QString name = QStringLiteral("filler");
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return name;
    const QByteArray block(4096, '\0');
    while (file.write(block) == block.size()) {
    }
    // The last block may have gone in part; fill what is left byte by byte.
    while (file.write("x", 1) == 1) {
    }
    return name;
}
