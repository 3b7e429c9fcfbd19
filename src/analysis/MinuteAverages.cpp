#include "MinuteAverages.h"

#include <algorithm>
#include <cmath>

void MinuteAverages::add(const Reading& r, std::optional<double> wind)
{
    m_wattsMax = m_frames == 0 ? r.Watts : std::max(m_wattsMax, r.Watts);
    ++m_frames;
    if (r.Mode == 1)
        ++m_loadFrames;
    m_watts += r.Watts;
    m_volts += r.Volts;
    m_amps += r.Amps;
    m_rpm += r.RPM;
    if (!wind)
        return;
    m_windMax = m_windFrames == 0 ? *wind : std::max(m_windMax, *wind);
    ++m_windFrames;
    const double delta = *wind - m_windMean;
    m_windMean += delta / m_windFrames;
    m_windSquares += delta * (*wind - m_windMean);
}

MinuteRow MinuteAverages::row(qint64 start) const
{
    MinuteRow row;
    row.start = start;
    row.frames = m_frames;
    row.loadFrames = m_loadFrames;
    if (m_frames == 0)
        return row;
    row.watts = m_watts / m_frames;
    row.wattsMax = m_wattsMax;
    row.volts = m_volts / m_frames;
    row.amps = m_amps / m_frames;
    row.rpm = m_rpm / m_frames;
    if (m_windFrames > 0) {
        row.wind = m_windMean;
        row.windMax = m_windMax;
        if (m_windFrames > 1)
            row.windSd = std::sqrt(m_windSquares / (m_windFrames - 1));
    }
    return row;
}

MinuteRow MinuteRow::combine(const MinuteRow& a, const MinuteRow& b)
{
    if (a.frames == 0)
        return b;
    if (b.frames == 0)
        return a;
    MinuteRow row;
    row.start = a.start;
    row.frames = a.frames + b.frames;
    row.loadFrames = a.loadFrames + b.loadFrames;
    const double n1 = a.frames, n2 = b.frames, n = row.frames;
    const auto mean = [&](double x, double y) { return (x * n1 + y * n2) / n; };
    row.watts = mean(a.watts, b.watts);
    row.wattsMax = std::max(a.wattsMax, b.wattsMax);
    row.volts = mean(a.volts, b.volts);
    row.amps = mean(a.amps, b.amps);
    row.rpm = mean(a.rpm, b.rpm);
    if (!a.wind || !b.wind) {
        row.wind = a.wind ? a.wind : b.wind;
        row.windMax = a.wind ? a.windMax : b.windMax;
        row.windSd = a.wind ? a.windSd : b.windSd;
        return row;
    }
    row.wind = mean(*a.wind, *b.wind);
    row.windMax = std::max(*a.windMax, *b.windMax);
    // The two parts' squared deviations, plus what the gap between their means adds.
    const double delta = *b.wind - *a.wind;
    const double squares = a.windSd.value_or(0) * a.windSd.value_or(0) * (n1 - 1) +
                           b.windSd.value_or(0) * b.windSd.value_or(0) * (n2 - 1) +
                           delta * delta * n1 * n2 / n;
    row.windSd = std::sqrt(squares / (n - 1));
    return row;
}
