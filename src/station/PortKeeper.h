#pragma once

#include "device/ReceiveBuffer.h"
#include "device/SerialLink.h"

#include <QObject>
#include <QTimer>
#include <memory>

// A window's serial port, kept open while the window wants it: a port that cannot be opened,
// or whose device went away, is tried again every 5 seconds, a COM<N> link that appears is
// moved to, and what arrives is cut into frames. What is wrong comes out as one status text.
class PortKeeper : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetryMs = 5000;

    // The link keeps linkName as its object name; the retry timer is called "PortRetry".
    PortKeeper(std::unique_ptr<SerialLink> link, const QString& linkName, QObject* parent);
    ~PortKeeper() override;

    void open(int portNumber);
    void close();
    int portNumber() const { return m_portNumber; }

signals:
    void frameArrived(const QByteArray& frame);
    // What is wrong with the port, for the status line; empty once it is open.
    void problemChanged(const QString& text);

private:
    void retry();
    void onDataArrived();
    void onDisconnected();

    std::unique_ptr<SerialLink> m_link;
    QTimer m_retry;
    // Kept across reopening, so a frame cut by a reopen is still whole.
    ReceiveBuffer m_buffer;
    int m_portNumber = 1;
    bool m_lost = false;
};
