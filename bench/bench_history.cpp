// Prints what the history window's work costs on a whole day logged every 10 seconds and on a
// day at the record limit: Display (query, drawing computation, list), a redraw from a check
// box, and one cursor readout.
#include "support/SampleDay.h"
#include "history/CursorReadout.h"
#include "history/DrawGraph.h"
#include "history/HistoryQuery.h"
#include "history/HistoryTableModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Figures
{
    std::vector<double> ms;
    void add(qint64 ns) { ms.push_back(ns / 1e6); }
    double median()
    {
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() / 2];
    }
    double worst() { return *std::max_element(ms.begin(), ms.end()); }
};

void measure(const char* name, int records)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("logs");
    QFile file(dir.path() + "/logs/2010_3_7.txt");
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(dayLog(records));
    file.close();

    GraphSettings settings{true, true, true, false, false, true, "km/h"};
    auto data = std::make_unique<HistoryData>();
    HistoryTableModel model;
    const PlotExtents start{7035, 5235};
    const int runs = 30;

    Figures display, allCells, redraw;
    qsizetype items = 0;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const auto result = HistoryQuery::run(dir.path(), QDate(2010, 3, 7), QTime(0, 0),
                                              QTime(23, 59), *data);
        if (!result.draw())
            return;
        GraphPicture picture = DrawGraph::draw(*data, settings, start);
        items = picture.plot.size();
        model.setRows(std::move(picture.rows));
        display.add(timer.nsecsElapsed());

        // As if a view asked for every cell at once, which a table view never does.
        timer.restart();
        qsizetype chars = 0;
        rows = model.rowCount();
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < HistoryRows::ColumnCount; ++column)
                chars += model.rows().cell(row, column).size();
        }
        allCells.add(timer.nsecsElapsed() + (chars == 0 ? 1 : 0));

        settings.ShowRpm = !settings.ShowRpm;
        timer.restart();
        GraphPicture again = DrawGraph::draw(*data, settings, start);
        model.setRows(std::move(again.rows));
        redraw.add(timer.nsecsElapsed());
    }

    const int readouts = 100000;
    QElapsedTimer timer;
    timer.start();
    qsizetype chars = 0;
    for (int n = 0; n < readouts; ++n)
        chars += CursorReadout::at(*data, n % records, "km/h")->volts.size();
    const double readoutUs = timer.nsecsElapsed() / 1e3 / readouts;

    std::printf("%s: %d records loaded, %d list rows, %lld display-list items\n", name,
                int(data->HistoryCount), rows, static_cast<long long>(items));
    std::printf("  Display (query + drawing computation + list): median %.2f ms, worst %.2f ms "
                "(goal under 50 ms)\n",
                display.median(), display.worst());
    std::printf("  formatting every cell of the list once: median %.2f ms\n", allCells.median());
    std::printf("  redraw from a check box (drawing computation + list): median %.2f ms, "
                "worst %.2f ms (goal under 20 ms)\n",
                redraw.median(), redraw.worst());
    std::printf("  one cursor readout: %.2f us (goal under 1 ms)%s\n", readoutUs,
                chars == 0 ? " (no text)" : "");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    measure("10-second day (8,640 records logged)", 8640);
    measure("day at the limit (9,999 records)", 9999);
    return 0;
}
