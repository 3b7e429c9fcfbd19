#include "LiveReading.h"

#include "FrameDecoder.h"

void LiveReading::setCalibration(const CalibrationSettings& settings)
{
    m_calibration = CalibrationNumbers::from(settings);
}

bool LiveReading::handleFrame(QByteArrayView frame, const QDateTime& now, bool loggingOn)
{
    m_reading.Mode = 0;
    const RawFrame raw = FrameDecoder::decode(frame, m_reading.LastRawCurrent);
    if (raw.modeSet)
        m_reading.Mode = raw.mode;
    if (!raw.complete || !Convert(m_reading, raw, m_calibration, loggingOn))
        return false;
    m_lastConverted = now;
    return true;
}

void LiveReading::wattHourStep(const QDateTime& now)
{
    if (!m_lastConverted.isValid())
        return;
    const qint64 sinceFrame = m_lastConverted.msecsTo(m_lentAt.isValid() ? m_lentAt : now);
    // A clock set back makes the last frame look like the future; count that as stale too.
    if (sinceFrame < 0 || sinceFrame > StalePowerMs)
        return;
    m_reading.WattHours += m_reading.Watts / 720.0;
    // A NaN or negative power (the battery feeding the inverter) produces nothing.
    if (m_reading.Watts > 0)
        m_producedKWh += m_reading.Watts / 720.0 / 1000.0;
}

void LiveReading::lendPort(const QDateTime& now)
{
    if (!m_lentAt.isValid())
        m_lentAt = now;
}

void LiveReading::takePortBack(const QDateTime& now)
{
    if (!m_lentAt.isValid())
        return;
    if (m_lastConverted.isValid())
        m_lastConverted = m_lastConverted.addMSecs(m_lentAt.msecsTo(now));
    m_lentAt = {};
}
