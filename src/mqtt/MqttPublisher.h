#pragma once

#include "mqtt/BrokerSettings.h"
#include "mqtt/RecordQueue.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

class Station;
class TlsContext;
struct mosquitto;

// Publishes a station to an MQTT broker, with Home Assistant discovery: its availability,
// its live state at most once a second, and each log record. It reads the station and never
// blocks it: the client's socket is served from the event loop, host names are resolved
// in the background, and a broker that is down, refuses or never answers only changes the
// Broker status line while records wait in memory.
class MqttPublisher : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxWaitingRecords = 10000;
    static constexpr int MaxRetrySeconds = 60;
    static constexpr int StateIntervalMs = 1000;
    // Records sent ahead of the broker's acknowledgements.
    static constexpr int RecordWindow = 20;
    // A session the broker ends sooner than this after it began counts as taken over; two
    // in a row mean another program connects with the same station name.
    static constexpr int ShortSessionMs = 10000;
    static constexpr int ShortSessionsForConflict = 2;
    // Home Assistant announces itself here; "online" asks for every config again.
    static constexpr char HomeAssistantStatusTopic[] = "homeassistant/status";

    MqttPublisher(Station& station, BrokerSettings settings, QObject* parent = nullptr);
    ~MqttPublisher() override;

    void start();
    // Says "offline" and leaves; what is still unsent gets at most two seconds.
    void stop();

    // A log record, published now or kept until the broker takes it.
    void publishRecord(const QByteArray& record, const QDateTime& time);

    bool isConnected() const { return m_phase == Phase::Connected; }
    int waitingRecords() const { return m_records.size(); }

signals:
    void connectedChanged(bool connected);

private:
    enum class Phase { Idle, Resolving, Connecting, Connected, Waiting, Stopped };

    void resolve();
    void connectNext();
    // Whether the connection in progress was made; tries the next address when not.
    bool socketUp();
    void readable();
    void writable();
    void housekeeping();
    // After every call into the client: acts on what its callbacks reported.
    void afterCall(int rc);
    void connected();
    // A failed connection attempt: a connection problem says nothing new after a loss.
    void fail(const QString& problem, bool connectionProblem = false);
    void dropClient();
    int socketError() const;
    QString lossReason(int rc) const;
    void updateWriteNotifier();
    void showStatus();

    void frameArrived();
    bool publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain,
                 int* messageId = nullptr);
    void publishDiscovery();
    void publishState();
    void publishLogger();
    void sendRecords();
    QString refusalText(int code) const;

    static void onConnect(mosquitto*, void* self, int code);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int messageId);
    static void onMessage(mosquitto*, void* self, const struct mosquitto_message* message);

    Station& m_station;
    BrokerSettings m_settings;
    const QByteArray m_availabilityTopic;
    const QByteArray m_stateTopic;
    const QByteArray m_recordTopic;
    const QByteArray m_loggerTopic;
    std::unique_ptr<TlsContext> m_tls;
    mosquitto* m_client = nullptr;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QTimer m_housekeepingTimer;
    QTimer m_retryTimer;
    QTimer m_answerTimer;
    QTimer m_stateTimer;
    // Runs while frames arrive: the Logger entity is on.
    QTimer m_loggerTimer;
    Phase m_phase = Phase::Idle;
    int m_retrySeconds = 1;
    int m_lookupId = -1;
    QList<QHostAddress> m_addresses;
    int m_addressIndex = 0;
    RecordQueue m_records{MaxWaitingRecords};
    QString m_problem;
    bool m_droppedSaid = false;
    bool m_stateDue = false;
    QString m_discoveredUnit;
    QElapsedTimer m_connectedFor;
    // The start of the saved day, worked out once a day: local midnight costs a time zone
    // look-up.
    QDate m_dayStartFor;
    QDateTime m_dayStart;
    int m_shortSessions = 0;
    bool m_conflictSaid = false;
    // What the client's callbacks reported during the last call.
    int m_connackCode = -1;
    bool m_disconnected = false;
    bool m_socketUp = false;
    bool m_discoveryAsked = false;
};
