#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// What MqttPublisher needs of a broker connection: MqttSession is the real one, and tests
// drive the publisher's rules through a fake one without a broker.
class BrokerSession : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void start() = 0;
    // Says "offline" and leaves.
    virtual void stop() = 0;
    virtual bool isConnected() const = 0;
    // False when there is no connection to take it; messageId, when asked for, is the one
    // delivered() reports for a QoS 1 message.
    virtual bool publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain,
                         int* messageId = nullptr) = 0;
    virtual void subscribe(const QByteArray& topic) = 0;
    // The Broker status line for why there is no connection; empty while all is well.
    virtual QString statusText() const = 0;

signals:
    void connected();
    // Only after connected(): a connection that was never made is not lost.
    void disconnected();
    void messageReceived(const QByteArray& topic, const QByteArray& payload);
    // The broker acknowledged a QoS 1 message.
    void delivered(int messageId);
    void statusChanged();
};
