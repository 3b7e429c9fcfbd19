#pragma once

#include "device/Reading.h"

#include <QtGlobal>
#include <optional>

// One row of the minute record: what the frames of one minute said, on average.
struct MinuteRow
{
    qint64 start = 0; // Unix time (UTC seconds) of the minute's first second
    int frames = 0;
    int loadFrames = 0; // frames with the load on (mode 1)
    // In m/s; nothing when the wind unit names no unit Wendro can convert. The deviation is
    // the sample one (n - 1), nothing for a single frame.
    std::optional<double> wind;
    std::optional<double> windMax;
    std::optional<double> windSd;
    double watts = 0;
    double wattsMax = 0;
    double volts = 0;
    double amps = 0;
    double rpm = 0;

    // Two parts of one minute as one row, as when the clock was set back into a minute
    // already written.
    static MinuteRow combine(const MinuteRow& a, const MinuteRow& b);
};

// The frames of the minute under way, summed as they come.
class MinuteAverages
{
public:
    void add(const Reading& reading, std::optional<double> windMetresPerSecond);
    bool isEmpty() const { return m_frames == 0; }
    MinuteRow row(qint64 start) const;

private:
    int m_frames = 0;
    int m_loadFrames = 0;
    int m_windFrames = 0;
    double m_watts = 0;
    double m_wattsMax = 0;
    double m_volts = 0;
    double m_amps = 0;
    double m_rpm = 0;
    // Welford's running mean and sum of squared deviations: no loss of precision.
    double m_windMean = 0;
    double m_windSquares = 0;
    double m_windMax = 0;
};
