#include "history/CursorReadout.h"
#include "history/DrawGraph.h"
#include "history/HistoryTableModel.h"

#include <QtTest>
#include <memory>

namespace {

// Volts, amps, watts, RPM, wind, mode and minute of the day of one record.
using Rec = std::array<double, 7>;

double* series(HistoryData& d, int n)
{
    return std::array{d.HistoryVolts.data(), d.HistoryAmps.data(), d.HistoryWatts.data(),
                      d.HistoryRpm.data(), d.HistoryWind.data()}[n];
}

std::unique_ptr<HistoryData> loaded(const QVector<Rec>& records)
{
    auto data = std::make_unique<HistoryData>();
    for (int n = 1; n <= records.size(); ++n) {
        for (int s = 0; s < 5; ++s)
            series(*data, s)[n] = records[n - 1][s];
        data->HistoryModes[n] = qint16(records[n - 1][5]);
        data->HistoryTimes[n] = records[n - 1][6] / 1440.0;
    }
    data->HistoryCount = qint16(records.size());
    data->ViewFirst = 1;
    data->ViewLast = records.size();
    return data;
}

const PlotExtents Design{7035, 5235};
// Series named by their initials V, A, W, R, S; "0" sets the volts reference to zero.
GraphPicture draw(const HistoryData& data, const QString& shown)
{
    const auto has = [&](char c) { return shown.contains(QLatin1Char(c)); };
    return DrawGraph::draw(
        data, {has('V'), has('A'), has('W'), has('R'), has('S'), has('0'), "km/h"}, Design);
}

// One letter an item: C clear, B box, - reference line, V A W R S series segments.
QString codes(const DisplayList& list)
{
    const QList<QRgb> colours{DrawGraph::VoltsColour, DrawGraph::AmpsColour,
                              DrawGraph::WattsColour, DrawGraph::RpmColour,
                              DrawGraph::WindColour,  DrawGraph::ReferenceColour};
    QString text;
    for (const PlotItem& item : list)
        text += item.kind == PlotItem::Kind::Clear ? 'C'
                : item.kind == PlotItem::Kind::Box ? 'B'
                                                   : "?VAWRS-"[colours.indexOf(item.colour) + 1];
    return text;
}

} // namespace

class TestHistoryGraph : public QObject
{
    Q_OBJECT

private slots:
    // Seeds take part in the extremes; a zero range lies across the middle of a scale of 2;
    // only amps or watts strictly crossing zero get a reference line (drawn at the maximum).
    void seeds_data()
    {
        QTest::addColumn<QString>("settings"); // the series first
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<QString>("labels"); // minimum..maximum
        QTest::addColumn<double>("lowY");    // normalised y of the first point
        QTest::addColumn<double>("lineY");   // of the reference line; 0: none
        QTest::newRow("V ref 0") << "V0" << 12.0 << 14.0 << "0 V..14 V" << 2.35 / 14.7 << 0.0;
        QTest::newRow("V from 100") << "V" << 100.0 << 120.0 << "100 V..120 V" << 20.5 / 21 << 0.0;
        QTest::newRow("V below 100") << "V" << 12.0 << 14.0 << "12 V..14 V" << 2.05 / 2.1 << 0.0;
        QTest::newRow("A above 500") << "A" << 600.0 << 700.0 << "500 A..700 A" << 0.5 << 0.0;
        QTest::newRow("A 0 to 5") << "A" << 0.0 << 5.0 << "0 A..5 A" << 5.125 / 5.25 << 0.0;
        QTest::newRow("A -3 to 0") << "A" << -3.0 << 0.0 << "-3 A..0 A" << 3.075 / 3.15 << 0.0;
        QTest::newRow("A -3 to 5") << "A" << -3.0 << 5.0 << "-3 A..5 A" << 8.2 / 8.4 << 5 / 8.4;
        QTest::newRow("W below -2000")
            << "W" << -2500.0 << 100.0 << "-2500 W..100 W" << 2665.0 / 2730 << 100.0 / 2730;
        QTest::newRow("R above 1000")
            << "R" << 1200.0 << 1500.0 << "1000 RPM..1500 RPM" << 312.5 / 525 << 0.0;
        QTest::newRow("S all 0") << "S" << 0.0 << 0.0 << "0 km/h..0 km/h" << 0.5 << 0.0;
    }
    void seeds()
    {
        QFETCH(QString, settings);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(QString, labels);
        QFETCH(double, lowY);
        QFETCH(double, lineY);
        const int n = int(QString("VAWRS").indexOf(settings[0]));
        auto data = loaded({{0, 0, 0, 0, 0, 0, 600}, {0, 0, 0, 0, 0, 0, 601}});
        series(*data, n)[1] = low;
        series(*data, n)[2] = high;
        const GraphPicture picture = draw(*data, settings);
        const GraphLabels& l = *picture.labels;
        const QString shown[] = {l.VMin1 + ".." + l.VMax1, l.AMin1 + ".." + l.AMax1,
                                 l.WMin1 + ".." + l.WMax1, l.RMin1 + ".." + l.RMax1,
                                 l.SMin1 + ".." + l.SMax1};
        QCOMPARE(shown[n], labels);
        QCOMPARE(codes(picture.plot), (lineY == 0 ? "C" : "C-") + settings.left(1));
        QCOMPARE(picture.plot.last().p1, QPointF(0, lowY));
        QCOMPARE(picture.plot.last().p2.x(), 1.0);
        if (lineY != 0)
            QCOMPARE(QLineF(picture.plot[1].p1, picture.plot[1].p2), QLineF(0, lineY, 1, lineY));
    }

    // Mode-1 boxes come even with no series on, under their position's segments, as high as
    // VoltsMax in whatever extent the drawing before left in force.
    void modeBoxes_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<double>("secondScale");
        QTest::addColumn<QString>("items");
        QTest::newRow("no series: watts scale") << "0" << 420.0 << "C-BB";
        QTest::newRow("all: wind") << "VAWRS0" << 6.3 << "C-BVAWRSBVAWRS";
    }
    void modeBoxes()
    {
        QFETCH(QString, settings);
        QFETCH(double, secondScale);
        QFETCH(QString, items);
        auto data = loaded(
            {{1, 1, -100, 0, 0, 0, 600}, {2, 3, 0, 500, 2, 1, 601}, {3, 5, 300, 800, 6, 1, 602}});
        const GraphPicture picture = draw(*data, settings);
        QCOMPARE(codes(picture.plot), items);
        QCOMPARE(picture.extents.width, 2.0);
        const PlotItem& box1 = picture.plot[int(items.indexOf('B'))];
        const PlotItem& box2 = picture.plot[int(items.lastIndexOf('B'))];
        QCOMPARE(QLineF(box1.p1, box1.p2), QLineF(0, 0, 0.5, 3 / 420.0));
        QCOMPARE(QLineF(box2.p1, box2.p2), QLineF(0.5, 0, 1, 3 / secondScale));
    }

    // Rows outside the view or past the records, bounds rounded the wrong way, a spanless view
    // that does more than clear; the readout's time is the record below, its value the nearest.
    void view_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("last");
        QTest::addColumn<QString>("volts"); // the list's volts cells
        QTest::addColumn<double>("x");      // of the pointer
        QTest::addColumn<QString>("readout");
        QTest::newRow("halves to even")
            << 10 << 2.5 << 5.7 << "0.25 0.5 0.5 0.75 " << 0.6 << "10:03 0.25 Volts";
        QTest::newRow("past the records")
            << 10 << 8.0 << 40.0 << "1 1.125 1.25 " << 50.0 << "10:10 1.25 Volts";
        QTest::newRow("before the records")
            << 10 << -3.0 << 2.0 << "0.125 0.25 " << 0.0 << "10:01 0.12 Volts";
        QTest::newRow("one record") << 1 << 1.0 << 5.0 << "" << 0.0 << "";
        QTest::newRow("reversed view") << 10 << 5.0 << 3.0 << "" << 0.0 << "10:05 0.62 Volts";
        QTest::newRow("nothing loaded") << 0 << 1.0 << 5.0 << "" << 0.0 << "";
    }
    void view()
    {
        QFETCH(int, count);
        QFETCH(double, first);
        QFETCH(double, last);
        QFETCH(QString, volts);
        QFETCH(double, x);
        QFETCH(QString, readout);
        QVector<Rec> records;
        for (int n = 1; n <= count; ++n)
            records.append({n / 8.0, 0, 0, 0, 0, 1, 600.0 + n});
        auto data = loaded(records);
        data->ViewFirst = first;
        data->ViewLast = last;
        const GraphPicture picture = draw(*data, "VAWRS");
        QString cells;
        for (int row = 0; row < picture.rows.size(); ++row)
            cells += picture.rows.cell(row, HistoryRows::VoltsColumn);
        QCOMPARE(cells, volts);
        const auto shown = CursorReadout::at(*data, x, "km/h");
        QCOMPARE(shown ? shown->vt + " " + shown->vv : QString(), readout);
        if (volts.isEmpty()) {
            QCOMPARE(codes(picture.plot), QString("C"));
            QVERIFY(!picture.labels);
            QCOMPARE(picture.extents.width, Design.width);
        }
    }

    // Cells lose their trailing blank, the list shows arrays a later query overwrote, or
    // the day's last minute reads as 00:00.
    void modelCells()
    {
        auto data = loaded({{13.2, -4.75, 62.7, 312.5, 6.3, 1, 425}, {1, 1, 1, 1, 1, 0, 1439}});
        const GraphPicture picture = draw(*data, "V");
        QCOMPARE(picture.labels->stime + picture.labels->ftime, QString("07:0523:59"));
        HistoryTableModel model;
        model.setRows(picture.rows);
        data->HistoryVolts[1] = 99;
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.index(0, column).data().toString();
        QCOMPARE(cells.join('|'), QString("|1 |13.2 |-4.75 |62.7 |312.5 |6.3 |07:05 "));
    }
};

QTEST_GUILESS_MAIN(TestHistoryGraph)
#include "tst_history_graph.moc"
