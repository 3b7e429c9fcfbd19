#include "MqttPublisher.h"

#include "mqtt/BrokerSession.h"
#include "mqtt/MqttMessages.h"
#include "station/Station.h"

MqttPublisher::MqttPublisher(Station& station, BrokerSettings settings,
                             std::unique_ptr<BrokerSession> session, QObject* parent)
    : QObject(parent), m_station(station), m_settings(std::move(settings)),
      m_session(std::move(session)),
      m_stateTopic(m_settings.topic(QStringLiteral("state")).toUtf8()),
      m_recordTopic(m_settings.topic(QStringLiteral("record")).toUtf8()),
      m_loggerTopic(m_settings.topic(QStringLiteral("logger")).toUtf8())
{
    m_stateTimer.setSingleShot(true);
    m_loggerTimer.setSingleShot(true);
    m_loggerTimer.setInterval(m_settings.loggerSilentMs);
    connect(&m_loggerTimer, &QTimer::timeout, this, &MqttPublisher::publishLogger);
    connect(&m_stateTimer, &QTimer::timeout, this, [this] {
        if (m_stateDue)
            publishState();
    });
    connect(m_session.get(), &BrokerSession::connected, this, &MqttPublisher::connected);
    connect(m_session.get(), &BrokerSession::disconnected, this, &MqttPublisher::disconnected);
    connect(m_session.get(), &BrokerSession::messageReceived, this,
            &MqttPublisher::messageReceived);
    connect(m_session.get(), &BrokerSession::delivered, this, &MqttPublisher::delivered);
    connect(m_session.get(), &BrokerSession::statusChanged, this, &MqttPublisher::showStatus);
    connect(&station, &Station::readingChanged, this, &MqttPublisher::frameArrived);
    connect(&station, &Station::recordLogged, this, &MqttPublisher::publishRecord);
    connect(&station, &Station::configurationLoaded, this, [this] {
        if (isConnected() && m_station.config().WSUnits != m_discoveredUnit)
            publishDiscovery();
    });
}

MqttPublisher::~MqttPublisher()
{
    stop();
}

void MqttPublisher::start()
{
    m_session->start();
}

void MqttPublisher::stop()
{
    m_stateTimer.stop();
    m_session->stop();
    m_records.connectionLost();
}

bool MqttPublisher::isConnected() const
{
    return m_session->isConnected();
}

void MqttPublisher::connected()
{
    // Said again once the broker is back, should the queue overflow again.
    m_droppedSaid = false;
    m_session->subscribe(HomeAssistantStatusTopic);
    publishDiscovery();
    publishLogger();
    if (m_stateDue)
        publishState();
    sendRecords();
    if (isConnected())
        emit connectedChanged(true);
}

void MqttPublisher::disconnected()
{
    m_records.connectionLost();
    emit connectedChanged(false);
}

void MqttPublisher::messageReceived(const QByteArray& topic, const QByteArray& payload)
{
    if (topic == HomeAssistantStatusTopic && payload == "online")
        publishDiscovery();
}

void MqttPublisher::delivered(int messageId)
{
    // Each acknowledgement frees room in the window for the next record.
    if (m_records.acknowledge(messageId))
        sendRecords();
}

void MqttPublisher::showStatus()
{
    QString text = m_session->statusText();
    if (m_droppedSaid)
        text += QStringLiteral("%1Broker %2: more than %3 records waiting: the oldest were dropped")
                    .arg(text.isEmpty() ? QString() : QStringLiteral("\n"), m_settings.address())
                    .arg(MaxWaitingRecords);
    m_station.setStatus(Station::StatusSource::Broker, text);
}

void MqttPublisher::frameArrived()
{
    const bool wasOn = m_loggerTimer.isActive();
    m_loggerTimer.start();
    if (!wasOn)
        publishLogger();
    m_stateDue = true;
    // The first frame of a burst goes at once, the newest of the rest a second later.
    if (!m_stateTimer.isActive())
        publishState();
}

void MqttPublisher::publishDiscovery()
{
    m_discoveredUnit = m_station.config().WSUnits;
    for (const DiscoveryMessage& m :
         DiscoveryMessages(m_settings.station, m_discoveredUnit, m_settings.dashboardUrl)) {
        if (!m_session->publish(m.topic.toUtf8(), m.payload, 1, true))
            return;
    }
}

void MqttPublisher::publishState()
{
    if (!isConnected())
        return;
    m_stateTimer.start(StateIntervalMs);
    const Station::SavedEnergy& saved = m_station.savedEnergy();
    if (saved.day != m_dayStartFor) {
        m_dayStartFor = saved.day;
        const QDateTime start = saved.day.startOfDay();
        m_dayStart = start.toOffsetFromUtc(start.offsetFromUtc());
    }
    if (m_session->publish(m_stateTopic,
                           StateJson(m_station.reading(), m_station.config().WSUnits,
                                     m_station.lastFrameTime(),
                                     {m_dayStart, saved.dayWattHours, saved.producedKWh}),
                           0, true))
        m_stateDue = false;
}

void MqttPublisher::publishLogger()
{
    m_session->publish(m_loggerTopic, m_loggerTimer.isActive() ? "ON" : "OFF", 1, true);
}

void MqttPublisher::publishRecord(const QByteArray& record, const QDateTime& time)
{
    if (!m_records.push(RecordJson(record, time)) && !m_droppedSaid) {
        m_droppedSaid = true;
        showStatus();
    }
    sendRecords();
}

void MqttPublisher::sendRecords()
{
    while (isConnected() && m_records.inFlight() < RecordWindow) {
        const QByteArray* payload = m_records.nextToSend();
        if (!payload)
            return;
        int messageId = 0;
        if (!m_session->publish(m_recordTopic, *payload, 1, false, &messageId))
            return;
        m_records.markSent(messageId);
    }
}
