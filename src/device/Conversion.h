#pragma once

#include "FrameDecoder.h"
#include "Reading.h"
#include "config/CalibrationSettings.h"

#include <optional>

// The calibration texts as numbers; a text that is not a number stays empty and stops the
// conversion at the step that needs it.
struct CalibrationNumbers
{
    std::optional<double> voltDivider;
    std::optional<double> voltOffset;
    std::optional<double> ampDivider;
    std::optional<double> rpmDivider;
    std::optional<double> wsDivider;

    static CalibrationNumbers from(const CalibrationSettings& settings);
};

// Turns a decoded frame into volts, amps, RPM, wind speed and watts, step by step, storing
// each result before the next. A step that would divide by zero, use a constant that is not a
// number or produce no finite value stops there: the earlier fields keep their new values,
// the later ones their old. Peaks rise only while logging is on. True when every step ran.
bool Convert(Reading& reading, const RawFrame& raw, const CalibrationNumbers& calibration,
             bool loggingOn);
