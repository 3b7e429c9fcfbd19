#pragma once

#include <random>
#include <string>

// A small battery-charging wind plant, stepped once per frame, reporting in the logger
// device's raw units at the default calibration (dist/settings.cfg). Its turbine has a
// stated power curve, so a measured curve can be checked against it: each frame's watts,
// as Wendro converts them, are the curve's power at that frame's wind while the load is off.
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

    // The turbine: no power below cut-in, power rising with the cube of the wind to rated,
    // then furling, which turns the rotor out of the wind so the power falls back.
    static constexpr double RotorDiameter = 1.2; // m
    static constexpr double CutInWind = 3.0;     // m/s
    static constexpr double RatedWind = 11.0;    // m/s
    static constexpr double RatedWatts = 300.0;
    static constexpr double FurledWatts = 200.0;   // reached at FurledWind and held above
    static constexpr double FurledWind = 16.0;     // m/s
    static constexpr double TipSpeedRatio = 6.5;   // up to rated; the speed is held above
    static constexpr double Turbulence = 0.06;     // wind's standard deviation / its mean
    static constexpr double AnemometerPulsesPerMetrePerSecond = 9.0; // 2.5 per km/h

    // The stated curve, W, and the rotor's speed, RPM, at a wind speed in m/s.
    static double curveWatts(double wind);
    static double curveRpm(double wind);

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
    double m_logMeanWind = 1.7; // log of m/s; the mean wind drifts over hours
    double m_gust = 0.0;        // m/s on top of the mean
    double m_calmLeft = 0.0;    // seconds of calm spell remaining
    double m_calmFactor = 1.0;
    double m_restVolts = 12.6; // battery voltage with no current flowing
    double m_loadAmps = 0.0;
    bool m_loadOn = false;
};
