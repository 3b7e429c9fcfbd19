#include "PlantModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The controller switches on what it measures, so the thresholds are raw counts.
constexpr int LoadOnRaw = 710;  // 14.2 V
constexpr int LoadOffRaw = 660; // 13.2 V

constexpr double CutInWind = 8.0;  // km/h; below this the rotor stalls
constexpr double CutInRpm = 200.0; // alternator output exceeds the battery from here
constexpr double AmpsPerRpm = 0.05;
constexpr double MaxChargeAmps = 22.0;
constexpr double InternalOhms = 0.025;
// A deliberately small bank, so charge and dump cycles show up within minutes.
constexpr double VoltsPerAmpSecond = 0.0004;
constexpr double SelfDrainAmps = 0.3;

int toRaw(double value)
{
    return std::clamp(static_cast<int>(std::lround(value)), 0, 1023);
}

} // namespace

PlantModel::PlantModel(unsigned seed, double stepSeconds)
    : m_rng(seed), m_dt(stepSeconds > 0.0 ? stepSeconds : 1.0)
{
    m_meanWind = uniform(12.0, 25.0);
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
    const double rootDt = std::sqrt(dt);

    // The mean drifts over tens of minutes but is pulled back to 18 km/h,
    // which keeps it mostly within 12..25.
    m_meanWind += (18.0 - m_meanWind) * std::min(1.0, dt / 900.0) + gauss(0.12 * rootDt);
    m_meanWind = std::clamp(m_meanWind, 10.0, 28.0);

    m_gust += -m_gust * std::min(1.0, dt / 6.0) + gauss(1.2 * rootDt);
    if (chance(1.0 / 45.0))
        m_gust += uniform(4.0, 12.0);

    if (m_calmLeft > 0.0)
        m_calmLeft -= dt;
    else if (chance(1.0 / 600.0))
        m_calmLeft = uniform(30.0, 150.0);
    const double calmTarget = m_calmLeft > 0.0 ? 0.1 : 1.0;
    m_calmFactor += (calmTarget - m_calmFactor) * std::min(1.0, dt / 15.0);

    const double wind = std::max(0.0, (m_meanWind + m_gust) * m_calmFactor + gauss(0.8));

    // The rotor's inertia makes it lag the wind by a few seconds.
    const double targetRpm =
        wind < CutInWind ? 0.0 : std::min(900.0, 60.0 + 20.0 * (wind - CutInWind));
    m_rpm += (targetRpm - m_rpm) * (1.0 - std::exp(-dt / 4.0));
    if (targetRpm == 0.0 && m_rpm < 5.0)
        m_rpm = 0.0;

    double charge = 0.0;
    if (m_rpm > CutInRpm)
        charge = std::clamp((m_rpm - CutInRpm) * AmpsPerRpm + gauss(0.15), 0.0, MaxChargeAmps);
    const double load = m_loadOn ? std::max(0.0, m_loadAmps + gauss(0.2)) : 0.0;
    const double net = charge - load;

    // A nearly full battery accepts less charge, so the rest voltage levels off.
    const double acceptance = net > 0.0 ? std::clamp((14.5 - m_restVolts) / 0.8, 0.0, 1.0) : 1.0;
    m_restVolts += (net * acceptance - SelfDrainAmps) * VoltsPerAmpSecond * dt;
    m_restVolts = std::clamp(m_restVolts, 11.9, 14.5);
    const double volts = std::clamp(m_restVolts + net * InternalOhms + gauss(0.02), 11.8, 14.8);

    Reading r;
    r.rawV = toRaw(volts * 50.0 + gauss(0.7));
    r.rawI = toRaw(512.0 + net * 20.0 + gauss(1.0));
    r.rawR = static_cast<int>(std::lround(m_rpm / 15.0));
    r.rawS = static_cast<int>(std::lround(wind * 2.5));

    if (!m_loadOn && r.rawV > LoadOnRaw) {
        m_loadOn = true;
        m_loadAmps = uniform(8.0, 12.0);
    } else if (m_loadOn && r.rawV < LoadOffRaw) {
        m_loadOn = false;
    }
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
