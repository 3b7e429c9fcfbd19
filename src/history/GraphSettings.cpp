#include "GraphSettings.h"

#include "config/ProgramConfig.h"

GraphSettings GraphSettings::opening(const ProgramConfig& config)
{
    GraphSettings settings;
    settings.ShowVolts = settings.ShowAmps = settings.ShowWatts = true;
    settings.ShowRpm = ProgramConfig::isOn(config.DisplayRPM);
    settings.ShowWind = ProgramConfig::isOn(config.DisplayWS);
    settings.RefVoltsToZero = true;
    settings.WSUnits = config.WSUnits;
    return settings;
}
