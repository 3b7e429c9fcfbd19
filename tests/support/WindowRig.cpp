#include "WindowRig.h"

#include "config/CalibrationSettings.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

WindowRig::WindowRig()
{
    for (const char* folder : {"logs", "html", "Excel"})
        QDir(m_dir.path()).mkdir(QString::fromLatin1(folder));
}

AppServices WindowRig::services()
{
    AppServices s;
    s.programDir = m_dir.path();
    s.clock = &clock;
    s.messages = &messages;
    s.makeLink = [this] {
        auto link = std::make_unique<MemorySerialLink>();
        link->refuseOpen = refuseOpen;
        m_links << link.get();
        return link;
    };
    return s;
}

Station& WindowRig::station()
{
    if (!m_station)
        m_station = std::make_unique<Station>(services());
    return *m_station;
}

MainWindow& WindowRig::mainWindow()
{
    if (!m_window)
        m_window = std::make_unique<MainWindow>(station(), services());
    return *m_window;
}

void WindowRig::writeConfig(const ProgramConfig& program) const
{
    write("prog.cfg", program.fileText());
    write("settings.cfg", CalibrationSettings::defaults().fileText());
}

QString WindowRig::texts(const QWidget& window, const QList<const char*>& names)
{
    QStringList shown;
    for (const char* name : names) {
        auto* label = window.findChild<QLabel*>(name);
        shown << (label ? label->text() : window.findChild<QLineEdit*>(name)->text());
    }
    return shown.join('|');
}
