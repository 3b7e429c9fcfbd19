#pragma once

#include <QString>

struct ProgramConfig;

// The series switches and the wind speed unit of the history window.
struct GraphSettings
{
    bool ShowVolts = false;
    bool ShowAmps = false;
    bool ShowWatts = false;
    bool ShowRpm = false;
    bool ShowWind = false;
    bool RefVoltsToZero = false;
    QString WSUnits;

    // What a graph opens with, in the window and on the web: volts, amps and watts, RPM and
    // wind speed as prog.cfg asks, volts referred to zero.
    static GraphSettings opening(const ProgramConfig& config);
};
