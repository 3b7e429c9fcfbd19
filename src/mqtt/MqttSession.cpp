#include "MqttSession.h"

#include "mqtt/TlsContext.h"

#include <QHostInfo>
#include <cerrno>
#include <mosquitto.h>
#include <poll.h>
#include <sys/socket.h>
#include <utility>

namespace {

constexpr int KeepAliveSeconds = 30;
constexpr int StopFlushMs = 2000;

// The library's global set-up, once per process and undone at its end.
void initLibrary()
{
    static const struct Library
    {
        Library() { mosquitto_lib_init(); }
        ~Library() { mosquitto_lib_cleanup(); }
    } library;
}

} // namespace

MqttSession::MqttSession(BrokerSettings settings, QObject* parent)
    : BrokerSession(parent), m_settings(std::move(settings)),
      m_availabilityTopic(m_settings.topic(QStringLiteral("availability")).toUtf8())
{
    initLibrary();
    if (m_settings.tls)
        m_tls = std::make_unique<TlsContext>(m_settings.host, m_settings.caFile);
    m_housekeepingTimer.setInterval(1000);
    m_retryTimer.setSingleShot(true);
    m_answerTimer.setSingleShot(true);
    connect(&m_housekeepingTimer, &QTimer::timeout, this, &MqttSession::housekeeping);
    connect(&m_retryTimer, &QTimer::timeout, this, &MqttSession::resolve);
    connect(&m_answerTimer, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("no MQTT answer within %1 s: is it a broker?")
                 .arg(m_settings.answerTimeoutMs / 1000.0));
    });
}

MqttSession::~MqttSession()
{
    stop();
}

QString MqttSession::statusText() const
{
    if (m_problem.isEmpty())
        return {};
    return QStringLiteral("Broker %1: %2 (trying again every 1 to %3 s; records wait in memory)")
        .arg(m_settings.address(), m_problem)
        .arg(MaxRetrySeconds);
}

QString MqttSession::refusalText(int code) const
{
    // 4: bad user name or password, 5: not authorised, in MQTT 3.1.1.
    if ((code == 4 || code == 5) && m_settings.user.isEmpty())
        return QStringLiteral("not authorised: the broker wants a user name and password "
                              "(mqtt://user@host and --mqtt-password-file)");
    if (code == 4 || code == 5)
        return QStringLiteral("not authorised: check the user name in --mqtt and the password "
                              "file");
    return QStringLiteral("refused: %1").arg(QString::fromLatin1(mosquitto_connack_string(code)));
}

void MqttSession::start()
{
    if (m_phase != Phase::Idle)
        return;
    if (m_tls && !m_tls->problem().isEmpty()) {
        m_problem = m_tls->problem();
        m_phase = Phase::Stopped;
        emit statusChanged();
        return;
    }
    resolve();
}

void MqttSession::stop()
{
    if (m_phase == Phase::Stopped)
        return;
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    if (m_phase == Phase::Connected) {
        publish(m_availabilityTopic, "offline", 1, true);
        if (m_client)
            mosquitto_disconnect(m_client);
        // Bounded: a broker that stopped reading must not hold up the end.
        QElapsedTimer waited;
        waited.start();
        while (m_client && mosquitto_socket(m_client) >= 0 && mosquitto_want_write(m_client) &&
               !waited.hasExpired(StopFlushMs)) {
            pollfd p = {mosquitto_socket(m_client), POLLOUT, 0};
            if (::poll(&p, 1, 100) > 0 && mosquitto_loop_write(m_client, 1) != MOSQ_ERR_SUCCESS)
                break;
        }
    }
    dropClient();
    m_retryTimer.stop();
    m_phase = Phase::Stopped;
}

void MqttSession::resolve()
{
    m_phase = Phase::Resolving;
    // libmosquitto resolves names synchronously, so it is only ever given an address.
    m_lookupId = QHostInfo::lookupHost(m_settings.host, this, [this](const QHostInfo& info) {
        m_lookupId = -1;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            fail(QStringLiteral("the host name %1 does not resolve (%2)")
                     .arg(m_settings.host, info.errorString()));
            return;
        }
        m_addresses = info.addresses();
        m_addressIndex = 0;
        connectNext();
    });
}

void MqttSession::connectNext()
{
    dropClient();
    if (m_addressIndex >= m_addresses.size())
        return;
    const QHostAddress address = m_addresses.at(m_addressIndex++);
    m_phase = Phase::Connecting;
    const QByteArray id = "wendro-" + m_settings.station.toUtf8();
    m_client = mosquitto_new(id.constData(), true, this);
    if (!m_client) {
        fail(QStringLiteral("cannot create a client: %1").arg(qt_error_string()));
        return;
    }
    mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Small messages each waiting for an acknowledgement: Nagle would hold every one back.
    mosquitto_int_option(m_client, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m_client, &MqttSession::onConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttSession::onDisconnect);
    mosquitto_publish_callback_set(m_client, &MqttSession::onPublish);
    mosquitto_message_callback_set(m_client, &MqttSession::onMessage);
    if (!m_settings.user.isEmpty())
        mosquitto_username_pw_set(
            m_client, m_settings.user.toUtf8().constData(),
            m_settings.password.isNull() ? nullptr : m_settings.password.toUtf8().constData());
    mosquitto_will_set(m_client, m_availabilityTopic.constData(), 7, "offline", 1, true);
    if (m_tls) {
        m_tls->clearRefusal();
        // Used as it is: the library's own checks would compare with the address.
        mosquitto_int_option(m_client, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
        mosquitto_void_option(m_client, MOSQ_OPT_SSL_CTX, m_tls->handle());
    }
    m_connackCode = -1;
    m_disconnected = false;
    m_socketUp = false;
    const int rc = mosquitto_connect_async(m_client, address.toString().toLatin1().constData(),
                                           m_settings.port, KeepAliveSeconds);
    const int fd = mosquitto_socket(m_client);
    if (rc != MOSQ_ERR_SUCCESS || fd < 0) {
        // On loopback the handshake can be over, and refused, before the call returns.
        if (rc == MOSQ_ERR_TLS) {
            fail(lossReason(rc));
            return;
        }
        const QString why = rc == MOSQ_ERR_ERRNO ? qt_error_string(errno)
                                                 : QString::fromLatin1(mosquitto_strerror(rc));
        if (m_addressIndex < m_addresses.size())
            connectNext();
        else
            fail(QStringLiteral("cannot connect: %1").arg(why), true);
        return;
    }
    m_readNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    m_writeNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &MqttSession::readable);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &MqttSession::writable);
    // A connection in progress becomes writable once it is made, or fails.
    m_writeNotifier->setEnabled(true);
    m_answerTimer.start(m_settings.answerTimeoutMs);
}

int MqttSession::socketError() const
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(mosquitto_socket(m_client), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    return error;
}

bool MqttSession::socketUp()
{
    if (m_socketUp)
        return true;
    const int error = socketError();
    if (error == 0)
        return m_socketUp = true;
    // Accepted and then reset, as a TLS port does to a plain client at times: the same
    // words as a peer that closes the connection.
    if (error == ECONNRESET || error == EPIPE) {
        fail(lossReason(MOSQ_ERR_CONN_LOST));
        return false;
    }
    // The name may have more addresses: the next is tried at once.
    if (m_addressIndex < m_addresses.size())
        connectNext();
    else
        fail(QStringLiteral("cannot connect: %1").arg(qt_error_string(error)), true);
    return false;
}

void MqttSession::readable()
{
    if (socketUp())
        afterCall(mosquitto_loop_read(m_client, 1));
}

void MqttSession::writable()
{
    if (socketUp())
        afterCall(mosquitto_loop_write(m_client, 1));
}

void MqttSession::housekeeping()
{
    if (m_conflictSaid && isConnected() && m_connectedFor.hasExpired(ShortSessionMs)) {
        m_conflictSaid = false;
        m_shortSessions = 0;
        m_problem.clear();
        emit statusChanged();
    }
    if (m_client)
        afterCall(mosquitto_loop_misc(m_client));
}

void MqttSession::afterCall(int rc)
{
    if (!m_client)
        return;
    if (m_connackCode >= 0) {
        const int code = m_connackCode;
        m_connackCode = -1;
        if (code != 0) {
            fail(refusalText(code));
            return;
        }
        connectionMade();
        if (!m_client)
            return;
    }
    // What was read before a loss still counts: acknowledged records are not sent again.
    m_lost = rc != MOSQ_ERR_SUCCESS || m_disconnected || mosquitto_socket(m_client) < 0;
    for (const auto& [topic, payload] : std::exchange(m_messages, {}))
        emit messageReceived(topic, payload);
    for (int messageId : std::exchange(m_acknowledged, {}))
        emit delivered(messageId);
    if (!m_client)
        return;
    if (m_lost) {
        fail(lossReason(rc), m_phase == Phase::Connected);
        return;
    }
    updateWriteNotifier();
}

QString MqttSession::lossReason(int rc) const
{
    if (m_phase == Phase::Connected) {
        if (rc == MOSQ_ERR_KEEPALIVE)
            return QStringLiteral("connection lost: the broker stopped answering");
        return QStringLiteral("connection lost");
    }
    if (m_tls && !m_tls->refusal().isEmpty())
        return m_tls->refusal();
    // A peer without TLS fails the handshake in one of several ways from one try to the
    // next; the cause is the same, so are the words.
    if (m_tls && (rc == MOSQ_ERR_TLS || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO ||
                  rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_PROTOCOL))
        return QStringLiteral("the TLS handshake failed: not an MQTT broker with TLS, or a "
                              "port without TLS (mqtt://)?");
    if (rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO || rc == MOSQ_ERR_NO_CONN)
        return QStringLiteral("the peer closed the connection without answering: not an "
                              "MQTT broker, or one that wants TLS (mqtts://)?");
    return QStringLiteral("the peer answered, but it is not an MQTT broker (%1)")
        .arg(QString::fromLatin1(mosquitto_strerror(rc)));
}

void MqttSession::connectionMade()
{
    m_answerTimer.stop();
    m_phase = Phase::Connected;
    m_connectedFor.start();
    // A conflict stays said until a session lasts: the next one may be taken over again.
    if (!m_conflictSaid)
        m_problem.clear();
    m_housekeepingTimer.start();
    publish(m_availabilityTopic, "online", 1, true);
    if (isConnected())
        emit connected();
    emit statusChanged();
}

void MqttSession::fail(const QString& problem, bool connectionProblem)
{
    const bool wasConnected = m_phase == Phase::Connected;
    dropClient();
    m_phase = Phase::Waiting;
    if (wasConnected && m_connectedFor.hasExpired(ShortSessionMs)) {
        m_shortSessions = 0;
        m_retrySeconds = 1;
    } else if (wasConnected && ++m_shortSessions >= ShortSessionsForConflict) {
        // Coming back at once would only take the session from the other program again.
        m_retrySeconds = MaxRetrySeconds;
        if (!m_conflictSaid) {
            m_conflictSaid = true;
            m_problem =
                QStringLiteral("the broker keeps ending the session soon after it starts: another "
                               "program uses the station name %1. Give each its own --station")
                    .arg(m_settings.station);
        }
    }
    // One line per outage: attempts that meet a broker still down say nothing new.
    if (!m_conflictSaid && (!connectionProblem || m_problem.isEmpty()))
        m_problem = problem;
    emit statusChanged();
    m_retryTimer.start(m_retrySeconds * 1000);
    m_retrySeconds = std::min(m_retrySeconds * 2, MaxRetrySeconds);
    if (wasConnected)
        emit disconnected();
}

void MqttSession::dropClient()
{
    m_answerTimer.stop();
    m_housekeepingTimer.stop();
    // The notifiers go before the socket they watch is closed.
    m_readNotifier.reset();
    m_writeNotifier.reset();
    if (m_client) {
        mosquitto_destroy(m_client);
        m_client = nullptr;
    }
    m_acknowledged.clear();
    m_messages.clear();
    m_lost = false;
}

void MqttSession::updateWriteNotifier()
{
    if (m_client && m_writeNotifier)
        m_writeNotifier->setEnabled(!m_socketUp || mosquitto_want_write(m_client));
}

bool MqttSession::publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain,
                          int* messageId)
{
    if (!m_client || m_phase != Phase::Connected || m_lost)
        return false;
    const int rc = mosquitto_publish(m_client, messageId, topic.constData(), int(payload.size()),
                                     payload.constData(), qos, retain);
    if (rc == MOSQ_ERR_SUCCESS) {
        updateWriteNotifier();
        return true;
    }
    fail(lossReason(rc), true);
    return false;
}

void MqttSession::subscribe(const QByteArray& topic)
{
    if (m_client && isConnected())
        mosquitto_subscribe(m_client, nullptr, topic.constData(), 0);
}

void MqttSession::onConnect(mosquitto*, void* self, int code)
{
    static_cast<MqttSession*>(self)->m_connackCode = code;
}

void MqttSession::onDisconnect(mosquitto*, void* self, int)
{
    static_cast<MqttSession*>(self)->m_disconnected = true;
}

void MqttSession::onPublish(mosquitto*, void* self, int messageId)
{
    // Reported after the call into the client, never inside it.
    static_cast<MqttSession*>(self)->m_acknowledged << messageId;
}

void MqttSession::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    static_cast<MqttSession*>(self)->m_messages.append(
        {QByteArray(message->topic),
         QByteArray(static_cast<const char*>(message->payload), message->payloadlen)});
}
