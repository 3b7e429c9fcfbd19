#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// Collects serial text until it holds both a "[" and a "]" (in either order); then the text
// is one frame and the buffer starts again. A frame that has begun after the last "]" is kept
// for the next frame: a read that carries the start of the next frame would otherwise lose
// it, and when reads keep splitting at the same place every later frame loses its first value. Text without a complete pair of
// brackets is capped at the last Cap bytes, the oldest dropped first. Each append costs in
// proportion to the new text, however long the buffer has grown.
class ReceiveBuffer
{
public:
    static constexpr qsizetype Cap = 64 * 1024;

    // Returns the frame when this text completed one.
    std::optional<QByteArray> append(QByteArrayView received);

    QByteArrayView text() const;
    qsizetype size() const { return m_data.size() - m_start; }

private:
    void dropOldest();

    // The held text is m_data from m_start on; the dead prefix is removed in bulk.
    QByteArray m_data;
    qsizetype m_start = 0;
    // Where the last "[" and "]" stand in m_data, -1 when the held text has none.
    qsizetype m_lastOpen = -1;
    qsizetype m_lastClose = -1;
};
