#pragma once

#include "mqtt/BrokerSession.h"
#include "mqtt/BrokerSettings.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

class TlsContext;
struct mosquitto;

// One libmosquitto client served from the event loop: host names resolved in the background,
// the socket watched by notifiers, tries again after 1, 2, 4 ... at most 60 s, and the last
// will that says "offline". Each reason it cannot connect has one wording, said once per
// outage.
class MqttSession : public BrokerSession
{
    Q_OBJECT

public:
    static constexpr int MaxRetrySeconds = 60;
    // A session the broker ends sooner than this after it began counts as taken over; two
    // in a row mean another program connects with the same station name.
    static constexpr int ShortSessionMs = 10000;
    static constexpr int ShortSessionsForConflict = 2;

    explicit MqttSession(BrokerSettings settings, QObject* parent = nullptr);
    ~MqttSession() override;

    void start() override;
    // What is still unsent gets at most two seconds.
    void stop() override;
    bool isConnected() const override { return m_phase == Phase::Connected; }
    bool publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain,
                 int* messageId = nullptr) override;
    void subscribe(const QByteArray& topic) override;
    QString statusText() const override;

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
    void connectionMade();
    // A failed connection attempt: a connection problem says nothing new after a loss.
    void fail(const QString& problem, bool connectionProblem = false);
    void dropClient();
    int socketError() const;
    QString lossReason(int rc) const;
    QString refusalText(int code) const;
    void updateWriteNotifier();

    static void onConnect(mosquitto*, void* self, int code);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int messageId);
    static void onMessage(mosquitto*, void* self, const struct mosquitto_message* message);

    BrokerSettings m_settings;
    const QByteArray m_availabilityTopic;
    std::unique_ptr<TlsContext> m_tls;
    mosquitto* m_client = nullptr;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QTimer m_housekeepingTimer;
    QTimer m_retryTimer;
    QTimer m_answerTimer;
    Phase m_phase = Phase::Idle;
    int m_retrySeconds = 1;
    int m_lookupId = -1;
    QList<QHostAddress> m_addresses;
    int m_addressIndex = 0;
    QString m_problem;
    QElapsedTimer m_connectedFor;
    int m_shortSessions = 0;
    bool m_conflictSaid = false;
    // What the client's callbacks reported during the last call.
    int m_connackCode = -1;
    bool m_disconnected = false;
    bool m_socketUp = false;
    QList<int> m_acknowledged;
    QList<QPair<QByteArray, QByteArray>> m_messages;
    // The last call lost the connection: what it read is still reported, nothing is sent.
    bool m_lost = false;
};
