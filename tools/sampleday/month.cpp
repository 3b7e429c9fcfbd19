// Writes a month of the minute record into a program folder from the simulator's plant, a frame
// a second converted at the default calibration and averaged by the program's own code, and
// each day's watt-hours into logs/energy.txt: for the dashboard's period views and Turbine
// page, their screenshots and trying them out. Its power curve is the simulator's stated one.
// Usage: wendro-sample-month DIR YYYY-MM [seed]
#include "PlantModel.h"
#include "analysis/MinuteAverages.h"
#include "common/WindUnit.h"
#include "config/CalibrationSettings.h"
#include "device/LiveReading.h"
#include "station/DayEnergy.h"
#include "station/MinuteStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <cstdio>

namespace {

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

    PlantModel plant(seed);
    LiveReading live;
    live.setCalibration(CalibrationSettings::defaults());
    const double metresPerSecond = *WindUnit::metresPerSecond(QStringLiteral("km/h"));
    int written = 0;
    for (QDate day = first; day < next; day = day.addDays(1)) {
        const qint64 dayStart = QDateTime(day, QTime(0, 0)).toSecsSinceEpoch();
        const qint64 dayEnd = QDateTime(day.addDays(1), QTime(0, 0)).toSecsSinceEpoch();
        QVector<MinuteRow> rows;
        double wattHours = 0;
        for (qint64 minute = dayStart; minute < dayEnd; minute += 60) {
            MinuteAverages averages;
            for (int second = 0; second < 60; ++second) {
                const QByteArray frame = QByteArray::fromStdString(PlantModel::frameText(plant.step()));
                const QDateTime now = QDateTime::fromSecsSinceEpoch(minute + second);
                if (!live.handleFrame(frame, now, false))
                    continue;
                averages.add(live.reading(), live.reading().WindSpeed * metresPerSecond);
                wattHours += live.reading().Watts / 3600;
            }
            if (!averages.isEmpty())
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
