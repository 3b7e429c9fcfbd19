// Prints what the history window costs as a user meets it, on a day at the record limit:
// pressing Display, a check-box redraw, and painting the graph at 1920 x 1080.
#include "support/SampleDay.h"
#include "support/WindowRig.h"
#include "ui/Graph.h"
#include "history/PlotPainter.h"
#include "ui/PlotCanvas.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <algorithm>
#include <vector>

namespace {

double medianMs(std::vector<qint64> ns)
{
    std::sort(ns.begin(), ns.end());
    return ns[ns.size() / 2] / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    WindowRig rig;
    rig.clock.set(QDateTime(QDate(2010, 3, 7), QTime(12, 0)));
    rig.write("logs/2010_3_7.txt", dayLog(9999));
    Graph graph(rig.services());
    graph.resetForOpening();
    auto* display = graph.findChild<QPushButton*>("Command1");
    auto* volts = graph.findChild<QCheckBox*>("Check1");
    auto* plot = graph.findChild<PlotCanvas*>("Plot");

    std::vector<qint64> displayNs, redrawNs, paintNs;
    QElapsedTimer timer;
    for (int i = 0; i < 20; ++i) {
        timer.start();
        display->click();
        displayNs.push_back(timer.nsecsElapsed());
        timer.start();
        volts->click();
        redrawNs.push_back(timer.nsecsElapsed());
    }
    plot->resize(1920, 1080);
    QImage image(1920, 1080, QImage::Format_RGB32);
    for (int i = 0; i < 20; ++i) {
        timer.start();
        plot->render(&image);
        paintNs.push_back(timer.nsecsElapsed());
    }
    std::vector<qint64> everyNs;
    for (int i = 0; i < 20; ++i) {
        timer.start();
        QPainter painter(&image);
        PlotPainter::paintEverySegment(painter, plot->list(), image.size());
        painter.end();
        everyNs.push_back(timer.nsecsElapsed());
    }
    std::printf("history window, %d records on the plot (%lld drawing calls):\n",
                int(graph.history().HistoryCount), static_cast<long long>(plot->list().size()));
    std::printf("  Display pressed (query, graph, list): median %.1f ms (goal under 50 ms)\n",
                medianMs(displayNs));
    std::printf("  redraw from a check box: median %.1f ms (goal under 20 ms)\n",
                medianMs(redrawNs));
    std::printf("  painting the graph at 1920 x 1080: median %.1f ms (goal under 16 ms)\n",
                medianMs(paintNs));
    std::printf("  the same with every segment drawn as it is: median %.1f ms\n", medianMs(everyNs));
    return 0;
}
