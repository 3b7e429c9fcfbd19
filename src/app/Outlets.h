#pragma once

#include "mqtt/BrokerSettings.h"
#include "web/WebServer.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class MqttPublisher;
class Station;

// The dashboard and the broker beside a station, set up alike for the desktop program and the
// service; each says what it did through say.
class Outlets
{
public:
    using Say = std::function<void(const QString&)>;

    Outlets();
    ~Outlets();

    // Serves the dashboard on listen, when set. Returns why it cannot, empty when it listens
    // or was not asked to.
    QString startWeb(const Station& station, const QString& listen, const Say& say);
    // Publishes to the broker, when one is given, with a link to the dashboard when it listens.
    // The station must be started: discovery reads its configuration.
    void startBroker(Station& station, std::optional<BrokerSettings> broker, const Say& say);
    void stopBroker();

private:
    std::unique_ptr<WebServer> m_web;
    QString m_dashboardUrl;
    std::unique_ptr<MqttPublisher> m_publisher;
};
