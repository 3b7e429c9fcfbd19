#pragma once

#include "support/MemorySerialLink.h"
#include "support/RecordingMessages.h"
#include "support/SettableClock.h"
#include "ui/AppServices.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QVector>

// A temporary program folder and test doubles for every seam, ready to build a window.
class WindowRig
{
public:
    WindowRig();

    AppServices services();
    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    void write(const QString& relative, const QByteArray& bytes) const;
    QByteArray read(const QString& relative) const;
    // The links the windows made, in the order they asked for them; null once the window
    // that owned one has gone.
    MemorySerialLink* link(int index = 0) const { return m_links.value(index); }

    SettableClock clock;
    RecordingMessages messages;
    bool refuseOpen = false;

private:
    QTemporaryDir m_dir;
    QVector<QPointer<MemorySerialLink>> m_links;
};
