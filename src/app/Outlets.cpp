#include "Outlets.h"

#include "mqtt/MqttPublisher.h"
#include "mqtt/MqttSession.h"
#include "station/Station.h"

Outlets::Outlets() = default;
Outlets::~Outlets() = default;

QString Outlets::startWeb(const Station& station, const QString& listen, const Say& say)
{
    if (listen.isEmpty())
        return {};
    const WebServer::Address address = *WebServer::parseAddress(listen);
    if (const QString warning = WebServer::exposureWarning(address); !warning.isEmpty())
        say(warning);
    m_web = std::make_unique<WebServer>(station);
    if (const QString failure = m_web->listen(address); !failure.isEmpty())
        return failure;
    say(QStringLiteral("dashboard at http://%1:%2/")
            .arg(address.host.protocol() == QAbstractSocket::IPv6Protocol
                     ? QLatin1Char('[') + address.host.toString() + QLatin1Char(']')
                     : address.host.toString())
            .arg(m_web->port()));
    m_dashboardUrl = m_web->pageUrl(address);
    return {};
}

void Outlets::startBroker(Station& station, std::optional<BrokerSettings> broker,
                          const Say& say)
{
    if (!broker)
        return;
    broker->dashboardUrl = m_dashboardUrl;
    say(QStringLiteral("publishing to %1 as wendro/%2").arg(broker->address(), broker->station));
    m_publisher = std::make_unique<MqttPublisher>(station, *broker,
                                                  std::make_unique<MqttSession>(*broker));
    m_publisher->start();
}

void Outlets::stopBroker()
{
    m_publisher.reset();
}
