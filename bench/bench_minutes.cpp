// Prints what the minute record costs: a year of minutes written into logs/minutes.sqlite (its
// size on disk), the time of one minute's write, one transaction each, as the station makes it
// once a minute, what reading the year back costs for the range and energy views, and the
// power curve with its yearly energy over the year, summed by SQLite.
#include "analysis/EnergyPeriods.h"
#include "analysis/RangeColumns.h"
#include "station/MinuteStore.h"
#include "station/PowerCurveQuery.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

int main()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("logs");
    const QString path = dir.filePath(MinuteStore::FileName);
    MinuteStore store;
    if (const QString problem = store.open(path, QDate::currentDate()); !problem.isEmpty()) {
        std::printf("bench_minutes: %s\n", qPrintable(problem));
        return 1;
    }
    // A year of minutes with wind that wanders, written a day per transaction to be quick.
    std::mt19937 random(7);
    std::normal_distribution<double> step(0, 0.2);
    const qint64 first = QDateTime(QDate(2031, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    double wind = 6;
    QElapsedTimer timer;
    timer.start();
    for (int day = 0; day < 365; ++day) {
        QVector<MinuteRow> rows;
        for (int m = 0; m < 1440; ++m) {
            wind = std::clamp(wind + step(random), 0.0, 25.0);
            MinuteRow r;
            r.start = first + (qint64(day) * 1440 + m) * 60;
            r.frames = 60;
            r.loadFrames = wind > 12 ? 60 : 0;
            r.wind = wind;
            r.windMax = wind * 1.3;
            r.windSd = wind * 0.12;
            r.watts = std::max(0.0, 0.35 * wind * wind * wind - 20);
            r.wattsMax = r.watts * 1.4;
            r.volts = 12.6 + r.watts / 400;
            r.amps = r.watts / r.volts;
            r.rpm = wind * 45;
            rows << r;
        }
        if (const QString problem = store.write(rows); !problem.isEmpty()) {
            std::printf("bench_minutes: %s\n", qPrintable(problem));
            return 1;
        }
    }
    const double yearSeconds = timer.nsecsElapsed() / 1e9;
    store.close();
    store.open(path, QDate::currentDate());
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        MinuteRow r;
        r.start = first + (qint64(365) * 1440 + i) * 60;
        r.frames = 60;
        r.wind = 5;
        timer.start();
        store.write({r});
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    // The year read back as the web server does: every row, then the columns or the months.
    QElapsedTimer read;
    read.start();
    const QVector<MinuteRow> year = store.rows(first, first + 366LL * 86400);
    const double readMs = read.nsecsElapsed() / 1e6;
    read.start();
    const auto columns = RangeColumn::cut(year, first, first + 365LL * 86400, 1000);
    const double cutMs = read.nsecsElapsed() / 1e6;
    read.start();
    const auto months = EnergyPeriod::of(year, {}, EnergyPeriod::By::Month, QDate(2031, 1, 1),
                                         QDate(2031, 12, 31), QTimeZone::systemTimeZone());
    const double monthsMs = read.nsecsElapsed() / 1e6;
    store.close();
    // The power curve as /api/powercurve and --power-curve make it: its own read-only handle,
    // the bins summed in SQL, the curve and the yearly energy; best and worst of five.
    std::vector<double> curveMs;
    PowerCurveQuery curve;
    for (int i = 0; i < 5; ++i) {
        read.start();
        curve = PowerCurveQuery::run(dir.path(), QDate(2031, 1, 1), QDate(2031, 12, 31), 0.5);
        curveMs.push_back(read.nsecsElapsed() / 1e6);
    }
    std::sort(curveMs.begin(), curveMs.end());
    std::printf("power curve and yearly energy of a year (%d minutes used, %d left out, %lld bins): "
                "%.0f ms, slowest of 5 %.0f ms (goal under 100 ms)\n",
                curve.curve.minutesUsed, curve.curve.leftOut.loadOn,
                static_cast<long long>(curve.curve.bins.size()), curveMs.front(), curveMs.back());
    std::printf("a year read back: %lld rows in %.0f ms; 1,000 columns %.0f ms (range goal under "
                "150 ms in all); %lld months %.0f ms (goal under 150 ms with the read)\n",
                static_cast<long long>(year.size()), readMs, cutMs,
                static_cast<long long>(months.size()), monthsMs);
    std::sort(ms.begin(), ms.end());
    qint64 bytes = 0;
    for (const QString& name : QDir(dir.filePath("logs")).entryList(QDir::Files))
        bytes += QFileInfo(dir.filePath("logs/" + name)).size();
    std::printf("a year of minutes (525,600 rows) written in %.1f s, a day a transaction: "
                "database %.1f MB (goal under 60 MB)\n",
                yearSeconds, bytes / 1e6);
    std::printf("one minute's row, one transaction: median %.2f ms, slowest of 200 %.2f ms (goal "
                "under 5 ms)\n",
                ms[ms.size() / 2], ms.back());
    return 0;
}
