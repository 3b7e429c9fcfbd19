#include "Conversion.h"

#include "CalibrationFormula.h"
#include "common/NumberParse.h"
#include "common/Rounding.h"

#include <cmath>

namespace {

// A formula's result for a divider, or nothing when the divider is missing or 0 or the result
// is not finite.
template <typename Formula>
std::optional<double> checked(std::optional<double> divider, Formula formula)
{
    if (!divider || *divider == 0.0)
        return std::nullopt;
    const double value = formula(*divider);
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
    const auto volts = checked(calibration.voltDivider,
                               [&](double d) { return CalibrationFormula::volts(raw.v, d); });
    if (!volts)
        return false;
    reading.Volts = *volts;

    if (!calibration.voltOffset)
        return false;
    const auto amps = checked(calibration.ampDivider, [&](double d) {
        return CalibrationFormula::amps(raw.i, *calibration.voltOffset, d);
    });
    if (!amps)
        return false;
    reading.Amps = *amps;
    reading.LastRawCurrent = raw.i;

    const auto rpm = checked(calibration.rpmDivider,
                             [&](double d) { return CalibrationFormula::rpm(raw.r, d); });
    if (!rpm)
        return false;
    reading.RPM = *rpm;

    const auto wind = checked(calibration.wsDivider,
                              [&](double d) { return CalibrationFormula::windSpeed(raw.s, d); });
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
