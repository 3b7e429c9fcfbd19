#pragma once

#include "mqtt/BrokerSettings.h"
#include "mqtt/RecordQueue.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <memory>

class BrokerSession;
class Station;

// Publishes a station through a broker session, with Home Assistant discovery: the configs
// on every connection and whenever Home Assistant comes online, the live state at most once a
// second with the energy totals as saved on disk, the Logger entity, and each log record,
// kept in order while there is no connection. It reads the station and never blocks it.
class MqttPublisher : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxWaitingRecords = 10000;
    static constexpr int StateIntervalMs = 1000;
    // Records sent ahead of the broker's acknowledgements.
    static constexpr int RecordWindow = 20;
    // Home Assistant announces itself here; "online" asks for every config again.
    static constexpr char HomeAssistantStatusTopic[] = "homeassistant/status";

    MqttPublisher(Station& station, BrokerSettings settings, std::unique_ptr<BrokerSession> session,
                  QObject* parent = nullptr);
    ~MqttPublisher() override;

    void start();
    // Says "offline" and leaves; what is still unsent gets at most two seconds.
    void stop();

    // A log record, published now or kept until the broker takes it.
    void publishRecord(const QByteArray& record, const QDateTime& time);

    bool isConnected() const;
    int waitingRecords() const { return m_records.size(); }

signals:
    void connectedChanged(bool connected);

private:
    void connected();
    void disconnected();
    void messageReceived(const QByteArray& topic, const QByteArray& payload);
    void delivered(int messageId);
    void showStatus();
    void frameArrived();
    void publishDiscovery();
    void publishState();
    void publishLogger();
    void sendRecords();

    Station& m_station;
    BrokerSettings m_settings;
    std::unique_ptr<BrokerSession> m_session;
    const QByteArray m_stateTopic;
    const QByteArray m_recordTopic;
    const QByteArray m_loggerTopic;
    QTimer m_stateTimer;
    // Runs while frames arrive: the Logger entity is on.
    QTimer m_loggerTimer;
    RecordQueue m_records{MaxWaitingRecords};
    bool m_droppedSaid = false;
    bool m_stateDue = false;
    QString m_discoveredUnit;
    // The start of the saved day, worked out once a day: local midnight costs a time zone
    // look-up.
    QDate m_dayStartFor;
    QDateTime m_dayStart;
};
