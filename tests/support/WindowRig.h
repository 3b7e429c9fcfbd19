#pragma once

#include "config/CalibrationSettings.h"
#include "station/Station.h"
#include "support/MemorySerialLink.h"
#include "support/RecordingMessages.h"
#include "support/SettableClock.h"
#include "support/TempFolder.h"
#include "ui/AppServices.h"
#include "ui/MainWindow.h"

#include <QAbstractButton>
#include <QDir>
#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <QVector>

// A temporary program folder and test doubles for every seam, ready to build a window.
class WindowRig : public TempFolder
{
public:
    WindowRig()
    {
        for (const char* folder : {"logs", "html", "Excel"})
            QDir(m_dir.path()).mkdir(QString::fromLatin1(folder));
    }

    AppServices services()
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
    // prog.cfg as given and settings.cfg at the defaults, so no start-up says a file was made.
    void writeConfig(const ProgramConfig& program = ProgramConfig::defaults()) const
    {
        write("prog.cfg", program.fileText());
        write("settings.cfg", CalibrationSettings::defaults().fileText());
    }
    // The links the windows made, in the order they asked for them; null once the window
    // that owned one has gone.
    MemorySerialLink* link(int index = 0) const { return m_links.value(index); }
    // The window's button or check box with this caption, as a user finds it.
    static QAbstractButton* button(const QWidget& window, const QString& caption)
    {
        for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
            if (button->text() == caption)
                return button;
        }
        qFatal("no button \"%s\"", qPrintable(caption));
    }
    static void press(const QWidget& window, const QString& caption)
    {
        button(window, caption)->click();
    }
    // Runs the owner's timer through one real timeout now rather than after its interval; the
    // code under test must have started it.
    static void tick(const QObject& owner, const char* name)
    {
        auto* timer = owner.findChild<QTimer*>(name);
        QVERIFY2(timer && timer->isActive(), name);
        const int interval = timer->interval();
        QSignalSpy fired(timer, &QTimer::timeout);
        // The interval goes back in the timeout itself, so the short one fires only once.
        const auto restore = QObject::connect(timer, &QTimer::timeout, timer,
                                              [timer, interval] { timer->setInterval(interval); });
        timer->setInterval(0);
        QVERIFY2(fired.wait(5000), name);
        QObject::disconnect(restore);
    }
    // The texts of a window's named labels or boxes, joined by '|'.
    static QString texts(const QWidget& window, const QList<const char*>& names)
    {
        QStringList shown;
        for (const char* name : names) {
            auto* label = window.findChild<QLabel*>(name);
            shown << (label ? label->text() : window.findChild<QLineEdit*>(name)->text());
        }
        return shown.join('|');
    }
    // The station on this folder, made on first use and not yet started.
    Station& station()
    {
        if (!m_station)
            m_station = std::make_unique<Station>(services());
        return *m_station;
    }
    // prog.cfg as given, and the station on it started.
    Station& startStation(const ProgramConfig& program = ProgramConfig::defaults())
    {
        writeConfig(program);
        station().start();
        return station();
    }
    // The main window over station(), made on first use, and the station started after it,
    // as the program does.
    MainWindow& mainWindow()
    {
        if (!m_window) {
            m_window = std::make_unique<MainWindow>(station(), services());
            station().start();
        }
        return *m_window;
    }

    SettableClock clock;
    RecordingMessages messages;
    bool refuseOpen = false;

private:
    QVector<QPointer<MemorySerialLink>> m_links;
    std::unique_ptr<Station> m_station;
    std::unique_ptr<MainWindow> m_window;
};
