#pragma once

#include "analysis/MinuteAverages.h"
#include "config/TurbineConfig.h"

#include <QPointF>
#include <QVector>
#include <map>
#include <optional>

// The measured power curve by the method of bins: minutes sorted by their mean wind into
// bins of equal width centred on multiples of it, and per bin the mean wind, the mean power
// and their spread. Built from per-bin sums, so the minutes themselves never need to be read.
struct PowerCurve
{
    static constexpr int MinFrames = 10;         // a minute with fewer is left out
    static constexpr int MinBinMinutes = 10;     // a bin with fewer is incomplete
    static constexpr int MinUsedMinutes = 3600;  // 60 hours
    static constexpr double CompleteToWind = 14; // m/s
    static constexpr double MinWidth = 0.1;
    static constexpr double MaxWidth = 2;
    static constexpr double DefaultWidth = 0.5;

    // The minutes of one bin, summed.
    struct Sums
    {
        int index = 0; // the bin's centre is index × width
        int minutes = 0;
        double wind = 0;
        double watts = 0;
        double wattsSquared = 0;
        double rpm = 0;
    };
    // Minutes left out, by cause: the load was on in some of it, it had fewer than MinFrames
    // frames, or it had no wind (a unit Wendro cannot convert).
    struct LeftOut
    {
        int loadOn = 0;
        int fewFrames = 0;
        int noWind = 0;
    };
    // Minutes taken one at a time into their bins, or counted under their cause for being
    // left out; a year of minutes is never held.
    struct Tally
    {
        explicit Tally(double width) : width(width) {}
        void add(const MinuteRow& minute);
        QVector<Sums> sums() const;
        // The minutes used, as (wind, watts): every one, or every n-th evenly when there are
        // more than most, for a scatter a person can read.
        QVector<QPointF> sample(int most) const;

        double width;
        std::map<int, Sums> bins;
        LeftOut leftOut;
        QVector<QPointF> used;
    };
    struct Bin
    {
        double centre = 0;
        double wind = 0;  // mean, m/s
        double watts = 0; // mean, W
        int minutes = 0;
        double sd = 0; // sample standard deviation (n - 1) of the power; 0 for one minute
        double se = 0; // sd / √n
        double rpm = 0;
        std::optional<double> cp;  // power coefficient, with a rotor diameter
        std::optional<double> tsr; // tip speed ratio, with a rotor diameter
        bool complete = false;
    };
    // The yearly energy at one annual mean wind speed (Rayleigh distribution), kWh.
    struct Aep
    {
        int meanWind = 0;
        double measuredKwh = 0;
        double extrapolatedKwh = 0;
        std::optional<double> makerKwh;
        std::optional<double> ratio;
    };

    double width = DefaultWidth;
    int minutesUsed = 0;
    LeftOut leftOut;
    QVector<Bin> bins; // ascending, only bins that hold minutes
    bool complete = false;
    // The highest bin centre the completeness rule looked at: CompleteToWind, or the highest
    // bin when the wind never reached it.
    double completeUpTo = CompleteToWind;

    static PowerCurve build(QVector<Sums> sums, const LeftOut& leftOut, double width,
                            const TurbineConfig& turbine);
    static bool validWidth(double width) { return width >= MinWidth && width <= MaxWidth; }

    // AEP = 8760 h × Σ [F(vᵢ) − F(vᵢ₋₁)] × (Pᵢ₋₁ + Pᵢ) / 2 over points (v, P) ascending, with
    // F the Rayleigh distribution of annual mean meanWind, v₀ = v₁ − width and P₀ = 0; with
    // holdTo above the last point, its power is held up to that speed. Wh.
    static double yearlyEnergy(const QVector<QPointF>& points, double width, double meanWind,
                               std::optional<double> holdTo = std::nullopt);
    // For annual means 4 to 11 m/s: measured (0 above the highest bin), extrapolated (the
    // highest bin's power held to 25 m/s) and, with a maker's curve, the maker's at the
    // measured bins' mean speeds and the ratio measured ÷ maker.
    QVector<Aep> yearlyEnergies(const TurbineConfig& turbine) const;
};
