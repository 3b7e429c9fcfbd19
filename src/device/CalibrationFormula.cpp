#include "CalibrationFormula.h"

#include "common/Rounding.h"

double CalibrationFormula::volts(double raw, double divider)
{
    return roundHalfEven(raw / divider, 2);
}

double CalibrationFormula::amps(double raw, double offset, double divider)
{
    return roundHalfEven((raw - offset) / divider, 2);
}

double CalibrationFormula::rpm(double pulses, double divider)
{
    return roundHalfEven(pulses / divider * 60, 1);
}

double CalibrationFormula::windSpeed(double pulses, double divider)
{
    return roundHalfEven(pulses / divider, 1);
}
