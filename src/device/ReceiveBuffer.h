#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QVector>
#include <optional>

// Collects serial text until it holds both a "[" and a "]" (in either order); then the whole
// text is one frame and the buffer starts empty again. Text without a complete pair of
// brackets is capped at the last Cap bytes, the oldest dropped first. Each append costs in
// proportion to the new text, however long the buffer has grown.
class ReceiveBuffer
{
public:
    static constexpr qsizetype Cap = 64 * 1024;

    // Returns the frame when this text completed one.
    std::optional<QByteArray> append(QByteArrayView received);

    // Takes what one read of the port returned as if every bracket had ended a receive event
    // of its own, as a port reporting each character would, and returns the frames completed.
    // Taking a whole read at once would let a "[" that starts the next frame, and the text
    // after it, go out with the frame it completes; after one late read every frame would
    // then lose its first value.
    QVector<QByteArray> appendRead(QByteArrayView received);

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
