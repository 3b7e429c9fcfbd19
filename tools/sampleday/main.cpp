// Writes a realistic day's log into a program folder, as the program itself would have
// logged it from the device simulator's plant: for screenshots, benchmarks and trying out
// the history window. Usage: wendro-sample-day DIR [YYYY-MM-DD] [interval seconds] [seed]
#include "PlantModel.h"
#include "common/DayStamp.h"
#include "config/CalibrationSettings.h"
#include "config/ProgramConfig.h"
#include "device/LiveReading.h"
#include "logging/LogWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: wendro-sample-day DIR [YYYY-MM-DD] [interval] [seed]\n");
        return 2;
    }
    const QString dir = args[1];
    const QDate day = args.size() > 2 ? QDate::fromString(args[2], Qt::ISODate)
                                      : QDate::currentDate();
    const int interval = args.size() > 3 ? args[3].toInt() : 60;
    const unsigned seed = args.size() > 4 ? args[4].toUInt() : 1;
    if (!day.isValid() || interval < 1 || !QDir(dir).exists(QStringLiteral("logs"))) {
        std::fprintf(stderr, "wendro-sample-day: need a program folder with logs/, a date "
                             "and an interval of at least 1 s\n");
        return 2;
    }

    ProgramConfig config = ProgramConfig::defaults();
    LiveReading live;
    live.setCalibration(CalibrationSettings::defaults());
    PlantModel plant(seed, 1.0);
    const QDateTime start(day, QTime(0, 0));
    int records = 0;
    for (int second = 1; second < 24 * 3600; ++second) {
        const QDateTime now = start.addSecs(second);
        const QByteArray frame = QByteArray::fromStdString(PlantModel::frameText(plant.step()));
        live.handleFrame(frame, now, true);
        if (second % interval != 0)
            continue;
        const LogWriter::Result result = LogWriter::writeTick(dir, live.reading(), config, now,
                                                              QLocale::c());
        if (!result.ok()) {
            std::fprintf(stderr, "wendro-sample-day: %s\n", qPrintable(result.describe()));
            return 1;
        }
        live.reading().resetPeaks();
        ++records;
    }
    std::printf("wrote %d records to %s\n", records, qPrintable(DailyLogFile(day)));
    return 0;
}
