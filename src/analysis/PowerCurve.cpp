#include "PowerCurve.h"

#include "common/Rounding.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {

constexpr double HoursPerYear = 8760;
constexpr double ExtrapolateTo = 25; // m/s

double rayleigh(double wind, double meanWind)
{
    // The first bin's lower end can fall below 0 m/s, where there is no probability.
    if (wind <= 0)
        return 0;
    const double ratio = wind / meanWind;
    return 1 - std::exp(-M_PI / 4 * ratio * ratio);
}

} // namespace

PowerCurve PowerCurve::build(QVector<Sums> sums, const LeftOut& leftOut, double width,
                             const TurbineConfig& turbine)
{
    PowerCurve curve;
    curve.width = width;
    curve.leftOut = leftOut;
    std::sort(sums.begin(), sums.end(),
              [](const Sums& a, const Sums& b) { return a.index < b.index; });
    const double area = turbine.rotorDiameter ? M_PI / 4 * *turbine.rotorDiameter *
                                                    *turbine.rotorDiameter
                                              : 0;
    for (const Sums& s : sums) {
        if (s.minutes <= 0)
            continue;
        Bin b;
        const int n = s.minutes;
        b.centre = roundHalfEven(s.index * width, 6); // 4.8, not 4.800000000000001
        b.minutes = n;
        b.wind = s.wind / n;
        b.watts = s.watts / n;
        b.rpm = s.rpm / n;
        if (n > 1) {
            // Sums of squares lose nothing that matters at these magnitudes (watts² × minutes
            // stays far below 2^53).
            const double variance = (s.wattsSquared - s.watts * s.watts / n) / (n - 1);
            b.sd = std::sqrt(std::max(0.0, variance));
            b.se = b.sd / std::sqrt(double(n));
        }
        if (turbine.rotorDiameter && b.wind > 0) {
            b.cp = b.watts / (0.5 * turbine.airDensity * area * std::pow(b.wind, 3));
            b.tsr = 2 * M_PI * b.rpm / 60 * (*turbine.rotorDiameter / 2) / b.wind;
        }
        b.complete = n >= MinBinMinutes;
        curve.minutesUsed += n;
        curve.bins.append(b);
    }
    if (curve.bins.isEmpty())
        return curve;
    // Every bin from the first with power up to CompleteToWind (or the highest bin) must be
    // there and complete: a missing bin in between is a gap in the curve.
    const auto indexOf = [width](const Bin& b) { return int(std::lround(b.centre / width)); };
    const int top = std::min(int(std::floor(CompleteToWind / width + 1e-9)),
                             indexOf(curve.bins.last()));
    curve.completeUpTo = top * width;
    const auto firstPowered = std::find_if(curve.bins.cbegin(), curve.bins.cend(),
                                           [](const Bin& b) { return b.watts > 0; });
    if (firstPowered == curve.bins.cend() || curve.minutesUsed < MinUsedMinutes)
        return curve;
    int expected = indexOf(*firstPowered);
    for (auto b = firstPowered; b != curve.bins.cend() && indexOf(*b) <= top; ++b) {
        if (indexOf(*b) != expected || !b->complete)
            return curve;
        ++expected;
    }
    curve.complete = expected > top;
    return curve;
}

double PowerCurve::yearlyEnergy(const QVector<QPointF>& points, double width, double meanWind,
                                std::optional<double> holdTo)
{
    if (points.isEmpty() || meanWind <= 0)
        return 0;
    double previousWind = points.first().x() - width;
    double previousPower = 0;
    double sum = 0;
    for (const QPointF& p : points) {
        sum += (rayleigh(p.x(), meanWind) - rayleigh(previousWind, meanWind)) *
               (previousPower + p.y()) / 2;
        previousWind = p.x();
        previousPower = p.y();
    }
    if (holdTo && *holdTo > previousWind)
        sum += (rayleigh(*holdTo, meanWind) - rayleigh(previousWind, meanWind)) * previousPower;
    return HoursPerYear * sum;
}

QVector<PowerCurve::Aep> PowerCurve::yearlyEnergies(const TurbineConfig& turbine) const
{
    QVector<QPointF> measured;
    QVector<QPointF> maker;
    for (const Bin& b : bins) {
        measured.append({b.wind, b.watts});
        maker.append({b.wind, turbine.makerPower(b.wind)});
    }
    QVector<Aep> table;
    for (int mean = 4; mean <= 11; ++mean) {
        Aep a;
        a.meanWind = mean;
        a.measuredKwh = yearlyEnergy(measured, width, mean) / 1000;
        a.extrapolatedKwh = yearlyEnergy(measured, width, mean, ExtrapolateTo) / 1000;
        if (!turbine.makerCurve.isEmpty()) {
            a.makerKwh = yearlyEnergy(maker, width, mean) / 1000;
            if (*a.makerKwh > 0)
                a.ratio = a.measuredKwh / *a.makerKwh;
        }
        table.append(a);
    }
    return table;
}

void PowerCurve::Tally::add(const MinuteRow& minute)
{
    if (minute.loadFrames > 0) {
        ++leftOut.loadOn;
        return;
    }
    if (minute.frames < MinFrames) {
        ++leftOut.fewFrames;
        return;
    }
    // No wind, or a negative mean from a negative divider: nothing to bin it by.
    if (!minute.wind || *minute.wind < 0) {
        ++leftOut.noWind;
        return;
    }
    // The small addend keeps 4.75 in the 4.8 bin of width 0.1, where floating point
    // division falls just below.
    const int index = int(std::floor(*minute.wind / width + 0.5 + 1e-9));
    Sums& bin = bins[index];
    bin.index = index;
    ++bin.minutes;
    bin.wind += *minute.wind;
    bin.watts += minute.watts;
    bin.wattsSquared += minute.watts * minute.watts;
    bin.rpm += minute.rpm;
    used.append({*minute.wind, minute.watts});
}

QVector<QPointF> PowerCurve::Tally::sample(int most) const
{
    const qsizetype step = (used.size() + most - 1) / most;
    if (step <= 1)
        return used;
    QVector<QPointF> some;
    for (qsizetype i = 0; i < used.size(); i += step)
        some.append(used[i]);
    return some;
}

QVector<PowerCurve::Sums> PowerCurve::Tally::sums() const
{
    QVector<Sums> all;
    for (const auto& [index, bin] : bins)
        all.append(bin);
    return all;
}
