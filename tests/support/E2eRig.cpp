#include "E2eRig.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>

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
    stop(m_xvfb);
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
    return true;
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
    if (!ok())
        return false;
    m_program = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_program->setProcessEnvironment(env);
    m_program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_program->start(path(QStringLiteral("wendro")), {});
    return m_program->waitForStarted(5000);
}

QStringList E2eRig::windowTitles() const
{
    QProcess xwininfo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    xwininfo.setProcessEnvironment(env);
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
