#include "MemorySerialLink.h"

bool MemorySerialLink::open(int portNumber)
{
    ++openAttempts;
    lastPortNumber = portNumber;
    if (refuseOpen) {
        m_problem = QStringLiteral("Cannot open COM%1: missing (no such device).").arg(portNumber);
        return false;
    }
    m_problem.clear();
    m_open = true;
    return true;
}

void MemorySerialLink::feed(const QByteArray& bytes)
{
    if (!m_open)
        return;
    m_waiting += bytes;
    emit dataArrived();
}

void MemorySerialLink::unplug()
{
    m_open = false;
    m_problem = QStringLiteral("device disconnected");
    emit disconnected();
}
