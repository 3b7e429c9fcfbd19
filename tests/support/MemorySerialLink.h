#pragma once

#include "device/SerialLink.h"

// A serial link that a test feeds by hand and can unplug or refuse to open.
class MemorySerialLink : public SerialLink
{
    Q_OBJECT

public:
    using SerialLink::SerialLink;

    bool open(int portNumber) override
    {
        ++openAttempts;
        lastPortNumber = portNumber;
        m_problem = refuseOpen ? QStringLiteral("Cannot open COM%1: missing (no such device).")
                                     .arg(portNumber)
                               : QString();
        m_open = m_open || !refuseOpen;
        return !refuseOpen;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    QByteArray readAll() override { return std::exchange(m_waiting, {}); }
    void discardWaiting() override { m_waiting.clear(); }
    QString problem() const override { return m_problem; }

    // Delivers bytes as one receive event, as the port would.
    void feed(const QByteArray& bytes)
    {
        if (m_open) {
            m_waiting += bytes;
            emit dataArrived();
        }
    }
    // The device vanishes under the open port.
    void unplug()
    {
        m_open = false;
        m_problem = QStringLiteral("device disconnected");
        emit disconnected();
    }

    bool refuseOpen = false;
    int openAttempts = 0;
    int lastPortNumber = 0;

private:
    bool m_open = false;
    QByteArray m_waiting;
    QString m_problem;
};
