#pragma once

#include "mqtt/BrokerSettings.h"
#include "web/WebServer.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class MqttPublisher;
class Station;

// The station at work with the dashboard and the broker beside it, for the desktop program and
// the service alike: the one place that starts and stops the station. Each step says what it
// did through say.
class StationRun
{
public:
    using Say = std::function<void(const QString&)>;

    StationRun(Station& station, Say say);
    ~StationRun(); // stops, when not stopped already

    // Serves the dashboard on listen, when set. Returns why it cannot, empty when it listens
    // or was not asked to.
    QString startWeb(const QString& listen);
    // A window showing the station is wired to it before this, so it sees every change.
    void startStation();
    // Publishes to the broker, when one is given, with a link to the dashboard when it listens.
    // After startStation: discovery reads the station's configuration.
    void startBroker(std::optional<BrokerSettings> broker);
    // The station first, so its last record and energy are written, then the broker.
    void stop();

private:
    Station& m_station;
    Say m_say;
    std::unique_ptr<WebServer> m_web;
    QString m_dashboardUrl;
    std::unique_ptr<MqttPublisher> m_publisher;
};
