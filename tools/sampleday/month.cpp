// Writes a realistic month of the minute record into a program folder, through the program's
// own minute averages and store, and each day's watt-hours into logs/energy.txt: for the
// dashboard's period views and Turbine page, their screenshots and trying them out. The
// turbine is the simulator's, so the month's measured curve can be checked against its own.
// Usage: wendro-sample-month DIR YYYY-MM [seed]
#include "PlantModel.h"
#include "analysis/MinuteAverages.h"
#include "station/DayEnergy.h"
#include "station/MinuteStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr double BankWh = 4800.0; // 400 Ah at 12 V
constexpr double BankOhms = 0.05; // with the wiring: a 300 W turbine lifts the volts

// A small plant one second at a time: the wind of weather systems that come and go over days
// and of fronts that pass in hours, stronger in the afternoon than at night, with gusts; a
// battery that a house drains and a dump load keeps from overcharging.
class MonthPlant
{
public:
    explicit MonthPlant(unsigned seed) : m_rng(seed) {}

    // One second at that hour of the local day (0 to 24); the wind in m/s.
    double step(double hour, Reading& r)
    {
        constexpr double systemSeconds = 2 * 86400.0;
        m_system += (5.0 - m_system) / systemSeconds + gauss(2.4 * std::sqrt(2 / systemSeconds));
        m_system = std::clamp(m_system, 0.5, 13.0);
        m_front -= m_front / (10 * 3600.0);
        if (uniform() < 1 / (6 * 86400.0))
            m_front += 4 + 5 * uniform();
        const double mean = (m_system + m_front) *
                            (1 + 0.3 * std::sin(2 * M_PI * (hour - 9) / 24)); // 15:00 windiest
        m_gust += -m_gust / 10 + gauss(0.2 * mean * std::sqrt(2 / 10.0));
        const double wind = std::max(0.0, mean + m_gust);

        // The simulator's turbine, so the month's power curve is its stated one. The shunt
        // carries the charge and the dump load; the house draws from the battery beside it.
        const double charge = PlantModel::curveWatts(wind);
        const double house = (hour >= 18 && hour < 23) ? 45 : 15;
        const double dump = m_load ? 250 : 0;
        const double net = charge - house - dump;
        m_full = std::clamp(m_full + net / BankWh / 3600, 0.05, 1.0);
        const double rest = 11.9 + 1.5 * m_full;
        const double volts = std::clamp(rest + net / rest * BankOhms + gauss(0.02), 11.8, 14.5);
        if (!m_load && volts > 14.2)
            m_load = true;
        else if (m_load && volts < 13.4)
            m_load = false;

        r.Volts = volts;
        r.Amps = (charge - dump) / volts;
        r.Watts = charge - dump;
        r.RPM = PlantModel::curveRpm(wind);
        r.WindSpeed = wind;
        r.Mode = m_load ? 1 : 0;
        return wind;
    }

private:
    double gauss(double sigma) { return std::normal_distribution<double>(0, sigma)(m_rng); }
    double uniform() { return std::uniform_real_distribution<double>(0, 1)(m_rng); }

    std::mt19937 m_rng;
    double m_system = 5;  // m/s
    double m_front = 0;   // m/s a passing front adds, fading over hours
    double m_gust = 0;    // m/s
    double m_full = 0.6;  // the battery's charge, 0 to 1
    bool m_load = false;
};

int fail(const QString& why)
{
    std::fprintf(stderr, "wendro-sample-month: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QDate first = args.size() > 2 ? QDate::fromString(args[2] + "-01", Qt::ISODate) : QDate();
    if (args.size() < 3 || !first.isValid() || !QDir(args[1]).exists(QStringLiteral("logs"))) {
        std::fprintf(stderr, "usage: wendro-sample-month DIR YYYY-MM [seed]\n"
                             "DIR is a program folder with logs/\n");
        return 2;
    }
    const QString dir = args[1];
    const unsigned seed = args.size() > 3 ? args[3].toUInt() : 1;
    const QDate next = first.addMonths(1);

    MinuteStore store;
    QString problem = store.open(dir + QLatin1Char('/') + MinuteStore::FileName, first);
    const qint64 monthStart = QDateTime(first, QTime(0, 0)).toSecsSinceEpoch();
    const qint64 monthEnd = QDateTime(next, QTime(0, 0)).toSecsSinceEpoch();
    if (problem.isEmpty() && !store.rows(monthStart, monthEnd, &problem).isEmpty())
        problem = QStringLiteral("the minute record has minutes of %1 already").arg(args[2]);
    if (!problem.isEmpty())
        return fail(problem);
    DayEnergy energy;
    problem = energy.load(dir);
    if (!problem.isEmpty())
        return fail(problem);

    MonthPlant plant(seed);
    int written = 0;
    for (QDate day = first; day < next; day = day.addDays(1)) {
        const qint64 dayStart = QDateTime(day, QTime(0, 0)).toSecsSinceEpoch();
        const qint64 dayEnd = QDateTime(day.addDays(1), QTime(0, 0)).toSecsSinceEpoch();
        QVector<MinuteRow> rows;
        double wattHours = 0;
        for (qint64 minute = dayStart; minute < dayEnd; minute += 60) {
            const QTime local = QDateTime::fromSecsSinceEpoch(minute).time();
            const double hour = local.hour() + local.minute() / 60.0;
            MinuteAverages averages;
            Reading r;
            for (int second = 0; second < 60; ++second) {
                const double wind = plant.step(hour + second / 3600.0, r);
                averages.add(r, wind);
                wattHours += r.Watts / 3600;
            }
            rows.append(averages.row(minute));
        }
        problem = store.write(rows);
        if (!problem.isEmpty())
            return fail(problem);
        energy.set(day, wattHours);
        written += rows.size();
    }
    problem = energy.save(dir);
    if (!problem.isEmpty())
        return fail(problem);
    std::printf("wrote %d minutes of %s to %s and its days to %s\n", written, qPrintable(args[2]),
                MinuteStore::FileName, DayEnergy::FileName);
    return 0;
}
