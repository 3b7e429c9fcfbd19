#include "Conversion.h"

#include "common/NumberParse.h"
#include "common/Rounding.h"

#include <cmath>

namespace {

// numerator / divisor * factor, in that order, rounded.
std::optional<double> divideRounded(double numerator, std::optional<double> divisor,
                                    int decimals, double factor = 1.0)
{
    if (!divisor || *divisor == 0.0)
        return std::nullopt;
    const double value = roundHalfEven(numerator / *divisor * factor, decimals);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

void raise(double& peak, double value)
{
    if (value > peak)
        peak = value;
}

} // namespace

CalibrationNumbers CalibrationNumbers::from(const CalibrationSettings& settings)
{
    return {parseNumber(settings.VoltDivider), parseNumber(settings.VoltOffset),
            parseNumber(settings.AmpDivider), parseNumber(settings.RPMDivider),
            parseNumber(settings.WSDivider)};
}

bool Convert(Reading& reading, const RawFrame& raw, const CalibrationNumbers& calibration,
             bool loggingOn)
{
    const auto volts = divideRounded(raw.v, calibration.voltDivider, 2);
    if (!volts)
        return false;
    reading.Volts = *volts;

    if (!calibration.voltOffset)
        return false;
    const auto amps = divideRounded(raw.i - *calibration.voltOffset, calibration.ampDivider, 2);
    if (!amps)
        return false;
    reading.Amps = *amps;
    reading.LastRawCurrent = raw.i;

    const auto rpm = divideRounded(raw.r, calibration.rpmDivider, 1, 60.0);
    if (!rpm)
        return false;
    reading.RPM = *rpm;

    const auto wind = divideRounded(raw.s, calibration.wsDivider, 1);
    if (!wind)
        return false;
    reading.WindSpeed = *wind;

    const double watts = roundHalfEven(reading.Amps * reading.Volts, 2);
    if (!std::isfinite(watts))
        return false;
    reading.Watts = watts;

    if (loggingOn) {
        raise(reading.PeakVolts, reading.Volts);
        raise(reading.PeakAmps, reading.Amps);
        raise(reading.PeakRPM, reading.RPM);
        raise(reading.PeakWindSpeed, reading.WindSpeed);
        raise(reading.PeakWatts, reading.Watts);
    }
    return true;
}
