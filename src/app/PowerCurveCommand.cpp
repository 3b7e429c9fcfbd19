#include "PowerCurveCommand.h"

#include "station/PowerCurveQuery.h"

#include <QRegularExpression>
#include <QTextStream>
#include <cstdio>

namespace {

QDate isoDate(const QString& text)
{
    static const QRegularExpression form(
        QRegularExpression::anchoredPattern(QStringLiteral("\\d{4}-\\d{2}-\\d{2}")));
    return form.match(text).hasMatch() ? QDate::fromString(text, Qt::ISODate) : QDate();
}

int fail(const QString& message)
{
    std::fprintf(stderr, "wendro: %s\n", qPrintable(message));
    return 2;
}

QString cell(double value, int decimals, int width)
{
    return QString::number(value, 'f', decimals).rightJustified(width);
}

QString cell(const std::optional<double>& value, int decimals, int width)
{
    return value ? cell(*value, decimals, width) : QString(width, QLatin1Char(' '));
}

QString text(const PowerCurveQuery& q)
{
    const PowerCurve& c = q.curve;
    const bool rotor = q.turbine.rotorDiameter.has_value();
    const bool maker = !q.turbine.makerCurve.isEmpty();
    QString out;
    QTextStream s(&out);
    s << "Measured power curve, " << q.from.toString(Qt::ISODate) << " to "
      << q.to.toString(Qt::ISODate) << ", bins of " << c.width << " m/s\n"
      << "Minutes used: " << c.minutesUsed << "; left out: " << c.leftOut.loadOn
      << " with the load on, " << c.leftOut.fewFrames << " with fewer than "
      << PowerCurve::MinFrames << " frames, " << c.leftOut.noWind << " without wind\n"
      << "Complete: " << (c.complete ? "yes" : "no") << " (every bin from the first with power up to "
      << c.completeUpTo << " m/s with at least " << PowerCurve::MinBinMinutes << " minutes, and "
      << PowerCurve::MinUsedMinutes << " minutes in all)\n";
    if (c.completeUpTo < PowerCurve::CompleteToWind)
        s << "The wind reached only the " << c.completeUpTo << " m/s bin, short of "
          << PowerCurve::CompleteToWind << " m/s.\n";
    s << "\n";
    s << "   bin m/s  wind m/s   power W  minutes    sd W    se W      RPM";
    if (rotor)
        s << "     Cp    TSR";
    s << "\n";
    for (const PowerCurve::Bin& b : c.bins) {
        s << cell(b.centre, 2, 10) << cell(b.wind, 2, 10) << cell(b.watts, 1, 10)
          << QString::number(b.minutes).rightJustified(9) << cell(b.sd, 1, 8) << cell(b.se, 2, 8)
          << cell(b.rpm, 1, 9);
        if (rotor)
            s << cell(b.cp, 3, 7) << cell(b.tsr, 2, 7);
        s << (b.complete ? "" : "  *") << "\n";
    }
    s << "  * fewer than " << PowerCurve::MinBinMinutes << " minutes: the bin is incomplete\n\n";
    s << "Yearly energy, kWh (Rayleigh distribution of the annual mean wind)\n"
      << "  mean m/s  measured  extrapolated";
    if (maker)
        s << "     maker   ratio";
    s << "\n";
    for (const PowerCurve::Aep& a : q.aep) {
        s << QString::number(a.meanWind).rightJustified(10) << cell(a.measuredKwh, 1, 10)
          << cell(a.extrapolatedKwh, 1, 14);
        if (maker)
            s << cell(a.makerKwh, 1, 10) << cell(a.ratio, 3, 8);
        s << "\n";
    }
    s << "Measured: no power above the highest bin; extrapolated: its power held to 25 m/s.\n";
    if (rotor)
        s << "Cp and TSR for a rotor of " << *q.turbine.rotorDiameter << " m and air of "
          << q.turbine.airDensity << " kg/m³.\n";
    return out;
}

} // namespace

int runPowerCurve(const QString& programDir, const QString& fromText, const QString& toText)
{
    const QDate from = isoDate(fromText);
    const QDate to = isoDate(toText);
    if (!from.isValid() || !to.isValid())
        return fail(QStringLiteral("--power-curve FROM TO: dates as YYYY-MM-DD, such as 2031-05-01"));
    if (from > to)
        return fail(QStringLiteral("--power-curve: %1 is after %2").arg(fromText, toText));
    const PowerCurveQuery q = PowerCurveQuery::run(programDir, from, to, PowerCurve::DefaultWidth);
    if (const QString problem = q.turbine.problem(); !problem.isEmpty())
        std::fprintf(stderr, "wendro: %s\n", qPrintable(problem));
    if (!q.problem.isEmpty())
        return fail(q.problem);
    if (q.curve.minutesUsed == 0)
        return fail(QStringLiteral("no minutes to use from %1 to %2 in %3/logs/minutes.sqlite "
                                   "(left out: %4 with the load on, %5 with too few frames, "
                                   "%6 without wind)")
                        .arg(fromText, toText, programDir)
                        .arg(q.curve.leftOut.loadOn)
                        .arg(q.curve.leftOut.fewFrames)
                        .arg(q.curve.leftOut.noWind));
    std::fputs(text(q).toUtf8().constData(), stdout);
    return 0;
}
