#pragma once

#include <random>
#include <string>

// A small battery-charging wind plant, stepped once per frame, reporting in the
// logger device's raw units.
class PlantModel
{
public:
    struct Reading
    {
        int rawV = 0; // ADC count, volts * 50
        int rawI = 0; // ADC count, 512 + net amps * 20
        int rawR = 0; // generator pulses per second, 4 per revolution
        int rawS = 0; // anemometer pulses per second, 2.5 per km/h
        int mode = 0; // 1 while the dump load is switched on
    };

    explicit PlantModel(unsigned seed, double stepSeconds = 1.0);

    Reading step();

    // The frame as the device sends it, without the trailing CR LF.
    static std::string frameText(const Reading& r);

private:
    double gauss(double sigma);
    double uniform(double lo, double hi);
    bool chance(double perSecond);

    std::mt19937 m_rng;
    double m_dt;
    double m_meanWind = 18.0; // km/h
    double m_gust = 0.0;      // km/h on top of the mean
    double m_calmLeft = 0.0;  // seconds of calm spell remaining
    double m_calmFactor = 1.0;
    double m_rpm = 0.0;
    double m_restVolts = 12.6; // battery voltage with no current flowing
    double m_loadAmps = 0.0;
    bool m_loadOn = false;
};
