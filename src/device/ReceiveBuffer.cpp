#include "ReceiveBuffer.h"

namespace {

qsizetype lastIndexOf(QByteArrayView text, char c)
{
    const void* hit = memrchr(text.data(), c, static_cast<size_t>(text.size()));
    return hit ? static_cast<const char*>(hit) - text.data() : -1;
}

} // namespace

std::optional<QByteArray> ReceiveBuffer::append(QByteArrayView received)
{
    const qsizetype offset = m_data.size();
    // Room for the kept text and as much again before a compaction, so appends never
    // reallocate once garbage has started to pile up.
    if (m_data.capacity() < 2 * Cap && offset + received.size() > 4096)
        m_data.reserve(2 * Cap + 4096);
    m_data.append(received);
    if (const qsizetype open = lastIndexOf(received, '['); open >= 0)
        m_lastOpen = offset + open;
    if (const qsizetype close = lastIndexOf(received, ']'); close >= 0)
        m_lastClose = offset + close;

    std::optional<QByteArray> frame;
    if (m_lastOpen >= 0 && m_lastClose >= 0) {
        // An unfinished frame after the last "]" stays; the rest is the frame.
        qsizetype keep = m_data.size();
        if (m_lastOpen > m_lastClose)
            keep = m_data.indexOf('[', m_lastClose + 1);
        frame = m_data.mid(m_start, keep - m_start);
        m_data = m_data.mid(keep);
        m_start = 0;
        m_lastClose = -1;
        m_lastOpen = m_data.isEmpty() ? -1 : m_data.lastIndexOf('[');
    }
    // What stays has no complete pair of brackets, whether or not a frame went out.
    if (size() > Cap)
        dropOldest();
    return frame;
}

QByteArrayView ReceiveBuffer::text() const
{
    return QByteArrayView(m_data).sliced(m_start);
}

void ReceiveBuffer::dropOldest()
{
    m_start = m_data.size() - Cap;
    if (m_lastOpen < m_start)
        m_lastOpen = -1;
    if (m_lastClose < m_start)
        m_lastClose = -1;
    // Compact only once the dead prefix is as long as the kept text, so the copying stays
    // proportional to what arrives.
    if (m_start < Cap)
        return;
    m_data.remove(0, m_start);
    if (m_lastOpen >= 0)
        m_lastOpen -= m_start;
    if (m_lastClose >= 0)
        m_lastClose -= m_start;
    m_start = 0;
}
