#include "RecordQueue.h"

bool RecordQueue::push(QByteArray payload)
{
    bool kept = true;
    if (int(m_records.size()) >= m_capacity) {
        if (m_inFlight > 0)
            --m_inFlight;
        m_records.pop_front();
        kept = false;
    }
    m_records.push_back({std::move(payload), 0, false});
    return kept;
}

const QByteArray* RecordQueue::nextToSend() const
{
    return m_inFlight < int(m_records.size()) ? &m_records[size_t(m_inFlight)].payload : nullptr;
}

void RecordQueue::markSent(int messageId)
{
    m_records[size_t(m_inFlight)].messageId = messageId;
    ++m_inFlight;
}

bool RecordQueue::acknowledge(int messageId)
{
    bool found = false;
    for (int i = 0; i < m_inFlight; ++i) {
        if (m_records[size_t(i)].messageId == messageId) {
            m_records[size_t(i)].acknowledged = true;
            found = true;
            break;
        }
    }
    // Acknowledgements may come out of order; records leave from the front only.
    while (!m_records.empty() && m_inFlight > 0 && m_records.front().acknowledged) {
        m_records.pop_front();
        --m_inFlight;
    }
    return found;
}

void RecordQueue::connectionLost()
{
    // Those acknowledged out of order were delivered; only the others go again.
    std::deque<Entry> waiting;
    for (Entry& e : m_records) {
        if (!e.acknowledged)
            waiting.push_back({std::move(e.payload), 0, false});
    }
    m_records.swap(waiting);
    m_inFlight = 0;
}
