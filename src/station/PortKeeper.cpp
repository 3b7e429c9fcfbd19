#include "PortKeeper.h"

PortKeeper::PortKeeper(std::unique_ptr<SerialLink> link, const QString& linkName, QObject* parent)
    : QObject(parent), m_link(std::move(link))
{
    m_link->setObjectName(linkName);
    m_retry.setParent(this);
    m_retry.setObjectName(QStringLiteral("PortRetry"));
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &PortKeeper::retry);
    connect(m_link.get(), &SerialLink::dataArrived, this, &PortKeeper::onDataArrived);
    connect(m_link.get(), &SerialLink::disconnected, this, &PortKeeper::onDisconnected);
}

PortKeeper::~PortKeeper() = default;

void PortKeeper::open(int portNumber)
{
    m_portNumber = portNumber;
    // The retry timer keeps running while the port should be open: it reopens a lost
    // device and moves to a COM<N> link that appears after the port fell back to ttyS.
    m_retry.start();
    if (m_link->open(portNumber)) {
        m_lost = false;
        emit problemChanged({});
        return;
    }
    const QString lost =
        m_lost ? QStringLiteral("COM%1: device disconnected. ").arg(portNumber) : QString();
    emit problemChanged(lost + m_link->problem() +
                        QStringLiteral(" Trying again every 5 seconds."));
}

void PortKeeper::close()
{
    m_retry.stop();
    m_link->close();
}

void PortKeeper::retry()
{
    if (m_link->isOpen() && !m_link->betterDeviceAvailable())
        return;
    open(m_portNumber);
}

void PortKeeper::onDisconnected()
{
    m_lost = true;
    emit problemChanged(QStringLiteral("COM%1: device disconnected. Trying again every 5 seconds.")
                            .arg(m_portNumber));
}

void PortKeeper::onDataArrived()
{
    const QByteArray received = m_link->readAll();
    m_link->discardWaiting();
    if (const auto frame = m_buffer.append(received))
        emit frameArrived(*frame);
}
