#pragma once

#include "support/TempFolder.h"
#include "support/MemorySerialLink.h"
#include "support/RecordingMessages.h"
#include "support/SettableClock.h"
#include "station/Station.h"
#include "ui/AppServices.h"
#include "ui/MainWindow.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QVector>

// A temporary program folder and test doubles for every seam, ready to build a window.
class WindowRig : public TempFolder
{
public:
    WindowRig();

    AppServices services();
    // prog.cfg as given and settings.cfg at the defaults, so no start-up says a file was made.
    void writeConfig(const ProgramConfig& program = ProgramConfig::defaults()) const;
    // The links the windows made, in the order they asked for them; null once the window
    // that owned one has gone.
    MemorySerialLink* link(int index = 0) const { return m_links.value(index); }
    // The texts of a window's named labels or boxes, joined by '|'.
    static QString texts(const QWidget& window, const QList<const char*>& names);
    // The station on this folder, made on first use and not yet started.
    Station& station();
    // The main window over station(), made on first use; it starts the station.
    MainWindow& mainWindow();

    SettableClock clock;
    RecordingMessages messages;
    bool refuseOpen = false;

private:
    QVector<QPointer<MemorySerialLink>> m_links;
    std::unique_ptr<Station> m_station;
    std::unique_ptr<MainWindow> m_window;
};
