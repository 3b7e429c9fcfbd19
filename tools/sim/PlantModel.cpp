#include "PlantModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The controller switches on what it measures, so the thresholds are raw counts.
constexpr int LoadOnRaw = 710;  // 14.2 V
constexpr int LoadOffRaw = 660; // 13.2 V

constexpr double InternalOhms = 0.025;
// A deliberately small bank, so charge and dump cycles show up within minutes.
constexpr double VoltsPerAmpSecond = 0.0004;
constexpr double SelfDrainAmps = 0.3;

// The mean wind is log-normal around 5.5 m/s, wandering with a time scale of an hour, so a
// day or two visits every speed from calm to furling.
const double MedianLogWind = std::log(5.5);
constexpr double LogWindSpread = 0.5;
constexpr double MeanWindSeconds = 3600.0;
constexpr double GustSeconds = 8.0;

int toRaw(double value)
{
    return std::clamp(static_cast<int>(std::lround(value)), 0, 1023);
}

// One step of an Ornstein-Uhlenbeck process, exact for any step length: pulled back towards
// 0 with the given time scale, with the given stationary spread.
double wander(double value, double dt, double seconds, double spread, double unitGauss)
{
    const double keep = std::exp(-dt / seconds);
    return value * keep + spread * std::sqrt(1.0 - keep * keep) * unitGauss;
}

} // namespace

double PlantModel::curveWatts(double wind)
{
    if (wind <= CutInWind)
        return 0.0;
    if (wind <= RatedWind)
        return RatedWatts * (std::pow(wind, 3) - std::pow(CutInWind, 3)) /
               (std::pow(RatedWind, 3) - std::pow(CutInWind, 3));
    if (wind >= FurledWind)
        return FurledWatts;
    return RatedWatts - (RatedWatts - FurledWatts) * (wind - RatedWind) / (FurledWind - RatedWind);
}

double PlantModel::curveRpm(double wind)
{
    if (wind <= CutInWind)
        return 0.0;
    const double tipSpeed = TipSpeedRatio * std::min(wind, RatedWind);
    return tipSpeed / (RotorDiameter / 2) * 60.0 / (2 * M_PI);
}

PlantModel::PlantModel(unsigned seed, double stepSeconds)
    : m_rng(seed), m_dt(stepSeconds > 0.0 ? stepSeconds : 1.0)
{
    m_logMeanWind = std::log(uniform(3.5, 7.0));
    m_restVolts = uniform(12.3, 12.9);
}

double PlantModel::gauss(double sigma)
{
    return std::normal_distribution<double>(0.0, sigma)(m_rng);
}

double PlantModel::uniform(double lo, double hi)
{
    return std::uniform_real_distribution<double>(lo, hi)(m_rng);
}

bool PlantModel::chance(double perSecond)
{
    return uniform(0.0, 1.0) < perSecond * m_dt;
}

PlantModel::Reading PlantModel::step()
{
    const double dt = m_dt;

    m_logMeanWind = MedianLogWind + wander(m_logMeanWind - MedianLogWind, dt, MeanWindSeconds,
                                           LogWindSpread, gauss(1.0));
    const double meanWind = std::exp(m_logMeanWind);
    // Turbulence in proportion to the mean, as an anemometer sees it over seconds.
    m_gust = wander(m_gust / meanWind, dt, GustSeconds, Turbulence, gauss(1.0)) * meanWind;

    if (m_calmLeft > 0.0)
        m_calmLeft -= dt;
    else if (chance(1.0 / (6 * 3600.0)))
        m_calmLeft = uniform(30.0, 150.0);
    const double calmTarget = m_calmLeft > 0.0 ? 0.1 : 1.0;
    m_calmFactor += (calmTarget - m_calmFactor) * std::min(1.0, dt / 15.0);

    Reading r;
    r.rawS = static_cast<int>(std::lround(std::max(0.0, (meanWind + m_gust) * m_calmFactor) *
                                          AnemometerPulsesPerMetrePerSecond));
    // The turbine meets the wind the anemometer reports, so the frame's own wind gives its power.
    const double wind = r.rawS / AnemometerPulsesPerMetrePerSecond;
    const double power = curveWatts(wind);
    r.rawR = static_cast<int>(std::lround(curveRpm(wind) * 4.0 / 60.0));

    const double volts = std::clamp(
        m_restVolts + (power / m_restVolts - (m_loadOn ? m_loadAmps : 0.0)) * InternalOhms +
            gauss(0.02),
        11.8, 14.7);
    r.rawV = toRaw(volts * 50.0 + gauss(0.7));
    // The controller switches at once on the volts it measured, so the frame's mode is the
    // load that its current flowed through.
    if (!m_loadOn && r.rawV > LoadOnRaw) {
        m_loadOn = true;
        m_loadAmps = uniform(24.0, 28.0);
    } else if (m_loadOn && r.rawV < LoadOffRaw) {
        m_loadOn = false;
    }
    const double load = m_loadOn ? std::max(0.0, m_loadAmps + gauss(0.2)) : 0.0;
    // The shunt reads the charge current at the volts the frame reports, so the watts Wendro
    // works out (amps × volts) are the curve's power, to the shunt's resolution.
    const double net = power / (r.rawV / 50.0) - load;
    r.rawI = toRaw(512.0 + net * 20.0);

    // A nearly full battery accepts less charge, so the rest voltage levels off.
    const double acceptance = net > 0.0 ? std::clamp((14.5 - m_restVolts) / 0.8, 0.0, 1.0) : 1.0;
    m_restVolts += (net * acceptance - SelfDrainAmps) * VoltsPerAmpSecond * dt;
    m_restVolts = std::clamp(m_restVolts, 11.9, 14.5);
    r.mode = m_loadOn ? 1 : 0;
    return r;
}

std::string PlantModel::frameText(const Reading& r)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "[<V>%d</V><I>%d</I><R>%d</R><S>%d</S><M>%d</M>]", r.rawV,
                  r.rawI, r.rawR, r.rawS, r.mode);
    return buf;
}
