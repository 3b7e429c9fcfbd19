#pragma once

#include <QtGlobal>

// The main window's current values and the peaks of the running logging interval.
struct Reading
{
    double Volts = 0;
    double Amps = 0;
    double Watts = 0;
    double RPM = 0;
    double WindSpeed = 0;
    qint16 Mode = 0;
    double WattHours = 0;
    double LastRawCurrent = 500;

    double PeakVolts = 0;
    double PeakAmps = 0;
    double PeakWatts = 0;
    double PeakRPM = 0;
    double PeakWindSpeed = 0;

    void resetPeaks() { PeakVolts = PeakAmps = PeakWatts = PeakRPM = PeakWindSpeed = 0; }
};
