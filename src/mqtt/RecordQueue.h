#pragma once

#include <QByteArray>
#include <deque>

// The records on their way to the broker, oldest first. A record leaves only when the broker
// has acknowledged it; one sent on a connection that was lost is sent again on the next, so
// none is lost to a broker restart.
class RecordQueue
{
public:
    explicit RecordQueue(int capacity) : m_capacity(capacity) {}

    // False when the queue was full and its oldest record was dropped for this one.
    bool push(QByteArray payload);
    int size() const { return int(m_records.size()); }
    int inFlight() const { return m_inFlight; }

    // The oldest record not yet sent, or nullptr; markSent ties it to its message id.
    const QByteArray* nextToSend() const;
    void markSent(int messageId);
    // The broker acknowledged a message; false when it was none of these records.
    bool acknowledge(int messageId);
    // The connection went: every record not acknowledged waits to be sent again.
    void connectionLost();

private:
    struct Entry
    {
        QByteArray payload;
        int messageId = 0; // 0: not sent on this connection
        bool acknowledged = false;
    };

    std::deque<Entry> m_records;
    int m_capacity;
    int m_inFlight = 0; // the first m_inFlight records were sent
};
