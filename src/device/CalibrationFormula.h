#pragma once

// The four conversions from raw counts, each rounded as it is shown and stored. The live
// conversion and the calibration dialog both use these, so what the dialog shows is what
// the readings will be.
struct CalibrationFormula
{
    // Volts and amps to 2 decimals; amps count from the zero offset.
    static double volts(double raw, double divider);
    static double amps(double raw, double offset, double divider);
    // Pulses per second to revolutions per minute and to the wind unit, to 1 decimal.
    static double rpm(double pulses, double divider);
    static double windSpeed(double pulses, double divider);
};
