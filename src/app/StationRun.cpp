#include "StationRun.h"

#include "mqtt/MqttPublisher.h"
#include "mqtt/MqttSession.h"
#include "station/Station.h"

StationRun::StationRun(Station& station, Say say) : m_station(station), m_say(std::move(say)) {}

StationRun::~StationRun()
{
    stop();
}

QString StationRun::startWeb(const QString& listen)
{
    if (listen.isEmpty())
        return {};
    const WebServer::Address address = *WebServer::parseAddress(listen);
    if (const QString warning = WebServer::exposureWarning(address); !warning.isEmpty())
        m_say(warning);
    m_web = std::make_unique<WebServer>(m_station);
    if (const QString failure = m_web->listen(address); !failure.isEmpty())
        return failure;
    m_say(QStringLiteral("dashboard at http://%1:%2/")
              .arg(address.host.protocol() == QAbstractSocket::IPv6Protocol
                       ? QLatin1Char('[') + address.host.toString() + QLatin1Char(']')
                       : address.host.toString())
              .arg(m_web->port()));
    m_dashboardUrl = m_web->pageUrl(address);
    return {};
}

void StationRun::startStation()
{
    m_station.start();
}

void StationRun::startBroker(std::optional<BrokerSettings> broker)
{
    if (!broker)
        return;
    broker->dashboardUrl = m_dashboardUrl;
    m_say(QStringLiteral("publishing to %1 as wendro/%2").arg(broker->address(), broker->station));
    m_publisher = std::make_unique<MqttPublisher>(m_station, *broker,
                                                  std::make_unique<MqttSession>(*broker));
    m_publisher->start();
}

void StationRun::stop()
{
    m_station.shutdown();
    m_publisher.reset();
}
