// Prints what one logging tick costs: the log record alone, with the spreadsheet, and with all
// three outputs on, then all three with a 10 MB day's log already present. Appending must not
// read the file, so the last two figures should match. Wall time includes waiting for the
// disk; processor time is the program's own work. Then one atomic save of logs/energy.txt
// (every 15 s while the count changes) after one and after ten years of days.
#include "logging/LogWriter.h"
#include "station/DayEnergy.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double processorMicros()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool makeProgramFolder(const QString& dir)
{
    QDir root(dir);
    if (!root.mkpath(QStringLiteral("logs")) || !root.mkpath(QStringLiteral("html")) ||
        !root.mkpath(QStringLiteral("Excel")))
        return false;
    // About the size of the shipped page, every placeholder in it.
    QByteArray page = "<html><head><meta http-equiv=\"refresh\" content=\"60\"></head><body>";
    page += QByteArray(1500, ' ');
    page += "<p><VV> V <II> A <WW> W <WH> Wh <RR> RPM <SS> <MM> at <TT></p></body></html>";
    return writeFile(root.filePath(QStringLiteral("html/template.asp")), page);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A few ticks first warm the caches; then count ticks are measured.
bool measure(const QString& dir, const char* label, bool web, bool sheet, int count)
{
    ProgramConfig config = ProgramConfig::defaults();
    config.Savehtml = QLatin1String(web ? "1" : "0");
    config.SaveExcel = QLatin1String(sheet ? "1" : "0");
    const QDateTime now(QDate(2010, 3, 27), QTime(14, 30, 5));
    const QLocale locale = QLocale::system();
    Reading reading;
    std::vector<double> wall;
    std::vector<double> processor;
    for (int i = -10; i < count; ++i) {
        reading.PeakVolts = 12 + (i % 100) / 100.0;
        reading.PeakAmps = (i % 50) / 10.0;
        reading.PeakWatts = reading.PeakVolts * reading.PeakAmps;
        reading.Mode = qint16(i % 2);
        QElapsedTimer timer;
        timer.start();
        const double processorStart = processorMicros();
        const auto result = LogWriter::writeTick(dir, reading, config, now.addSecs(i), locale);
        const double processorUsed = processorMicros() - processorStart;
        const double elapsed = timer.nsecsElapsed() / 1e3;
        if (!result.ok()) {
            std::printf("tick failed: %s\n", qPrintable(result.describe()));
            return false;
        }
        if (i >= 0) {
            wall.push_back(elapsed);
            processor.push_back(processorUsed);
        }
    }
    std::printf("%-44s wall median %7.1f us, worst %8.1f us; processor median %6.1f us\n", label,
                median(wall), *std::max_element(wall.begin(), wall.end()), median(processor));
    return true;
}

// Saves of an energy file holding the given number of days, each replacing the file whole.
bool measureEnergySave(int days, int count)
{
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir(dir.path()).mkpath(QStringLiteral("logs")))
        return false;
    DayEnergy energy;
    const QDate first(2020, 1, 1);
    for (int d = 0; d < days; ++d) {
        energy.set(first.addDays(d), 1234.56789 + d);
        energy.setProduced(first.addDays(d), 12.3456789 * d);
    }
    std::vector<double> wall;
    std::vector<double> processor;
    for (int i = 0; i < count; ++i) {
        energy.set(first.addDays(days - 1), 100 + i / 720.0);
        QElapsedTimer timer;
        timer.start();
        const double processorStart = processorMicros();
        const QString failure = energy.save(dir.path());
        processor.push_back(processorMicros() - processorStart);
        wall.push_back(timer.nsecsElapsed() / 1e3);
        if (!failure.isEmpty()) {
            std::printf("energy save failed: %s\n", qPrintable(failure));
            return false;
        }
    }
    std::printf("energy.txt save, %4d days (%6lld bytes):       wall median %7.1f us, worst %8.1f "
                "us; processor median %6.1f us\n",
                days, static_cast<long long>(energy.fileText().size()), median(wall),
                *std::max_element(wall.begin(), wall.end()), median(processor));
    return true;
}

} // namespace

int main()
{
    const int count = 500;
    std::printf("one logging tick, %d ticks each (goal with all three outputs: under 2000 us)\n",
                count);
    QTemporaryDir fresh;
    if (!fresh.isValid() || !makeProgramFolder(fresh.path()))
        return 1;
    if (!measure(fresh.path(), "log record only:", false, false, count) ||
        !measure(fresh.path(), "log record and spreadsheet:", false, true, count) ||
        !measure(fresh.path(), "all three outputs:", true, true, count))
        return 1;

    // A day's log of 10 MB, made of real records, before the first measured tick.
    QTemporaryDir big;
    if (!big.isValid() || !makeProgramFolder(big.path()))
        return 1;
    const QByteArray record = "<V>13.25</V><I>4.75</I><W>62.94</W><R>312.5</R><S>6.3</S><M>1</M>"
                              "<T>14:30</T>\r\n";
    QByteArray day;
    day.reserve(10 * 1024 * 1024 + record.size());
    while (day.size() < 10 * 1024 * 1024)
        day += record;
    if (!writeFile(big.path() + QStringLiteral("/logs/2010_3_27.txt"), day))
        return 1;
    return measure(big.path(), "log record only, 10 MB day's log present:", false, false, count) &&
                   measure(big.path(), "all three, 10 MB day's log present:", true, true, count) &&
                   measureEnergySave(365, 200) && measureEnergySave(3650, 200)
               ? 0
               : 1;
}
