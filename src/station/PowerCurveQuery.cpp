#include "PowerCurveQuery.h"

#include "station/MinuteStore.h"

PowerCurveQuery PowerCurveQuery::run(const QString& programDir, const QDate& from,
                                     const QDate& to, double width)
{
    PowerCurveQuery q;
    q.from = from;
    q.to = to;
    q.turbine = TurbineConfig::load(programDir);
    PowerCurve::Tally tally(width);
    q.problem = MinuteStore::eachOfDays(
        programDir, from, to,
        MinuteStore::Frames | MinuteStore::LoadFrames | MinuteStore::Wind | MinuteStore::Watts |
            MinuteStore::Rpm,
        [&](const MinuteRow& minute) { tally.add(minute); });
    q.curve = PowerCurve::build(tally.sums(), tally.leftOut, width, q.turbine);
    q.aep = q.curve.yearlyEnergies(q.turbine);
    q.points = tally.sample(ScatterPoints);
    return q;
}
