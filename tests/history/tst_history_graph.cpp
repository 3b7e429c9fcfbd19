#include "history/CursorReadout.h"
#include "history/DrawGraph.h"
#include "history/HistoryTableModel.h"

#include <QtTest>
#include <memory>

namespace {

struct Rec
{
    double v, a, w, r, s;
    int mode;
    int minutes;
};

std::unique_ptr<HistoryData> loaded(const QVector<Rec>& records)
{
    auto data = std::make_unique<HistoryData>();
    for (int n = 1; n <= records.size(); ++n) {
        const Rec& r = records[n - 1];
        data->HistoryVolts[n] = r.v;
        data->HistoryAmps[n] = r.a;
        data->HistoryWatts[n] = r.w;
        data->HistoryRpm[n] = r.r;
        data->HistoryWind[n] = r.s;
        data->HistoryModes[n] = qint16(r.mode);
        data->HistoryTimes[n] = r.minutes / 1440.0;
    }
    data->HistoryCount = qint16(records.size());
    data->ViewFirst = 1;
    data->ViewLast = records.size();
    return data;
}

const PlotExtents Design{7035, 5235};
const QRgb SeriesColours[] = {DrawGraph::VoltsColour, DrawGraph::AmpsColour, DrawGraph::WattsColour,
                              DrawGraph::RpmColour, DrawGraph::WindColour};

// Series named by their initials V, A, W, R, S; "0" sets the volts reference to zero.
GraphPicture draw(const HistoryData& data, const QString& series)
{
    const auto has = [&](char c) { return series.contains(QLatin1Char(c)); };
    return DrawGraph::draw(
        data, {has('V'), has('A'), has('W'), has('R'), has('S'), has('0'), "km/h"}, Design);
}

QVector<PlotItem> itemsIn(const DisplayList& list, QRgb colour)
{
    QVector<PlotItem> items;
    for (const PlotItem& item : list) {
        if (item.kind != PlotItem::Kind::Clear && item.colour == colour)
            items << item;
    }
    return items;
}

} // namespace

class TestHistoryGraph : public QObject
{
    Q_OBJECT

private slots:
    // Series out of order, a wrong colour, or segments not spanning the plot.
    void twoRecordsSpanThePlot()
    {
        auto data = loaded({{12, 2, 10, 300, 3, 0, 600}, {13, 3, 20, 400, 4, 0, 601}});
        const GraphPicture picture = draw(*data, "VAWRS");
        QCOMPARE(picture.plot.size(), 6);
        for (int n = 0; n < 5; ++n) {
            const PlotItem& line = picture.plot[n + 1];
            QCOMPARE(line.kind, PlotItem::Kind::Line);
            QCOMPARE(line.colour, SeriesColours[n]);
            QCOMPARE(line.p1.x(), 0.0);
            QCOMPARE(line.p2.x(), 1.0);
        }
        // Volts 12 to 13: range 1, margins of a fortieth, scale 1.05.
        QCOMPARE(picture.plot[1].p1.y(), 1.025 / 1.05);
        QCOMPARE(picture.plot[1].p2.y(), 0.025 / 1.05);
        QCOMPARE(picture.extents.width, 1.0);
        QCOMPARE(picture.labels->stime + picture.labels->ftime, QString("10:0010:01"));
    }

    // Seeds must take part in the comparisons and in the y mapping; a zero range must not
    // divide by zero but lie across the middle of a scale of 2.
    void seeds_data()
    {
        QTest::addColumn<int>("series");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<QString>("labels"); // minimum..maximum
        QTest::addColumn<double>("lowY");    // normalised y of the first point
        QTest::newRow("Ref V to 0v") << 0 << "V0" << 12.0 << 14.0 << "0 V..14 V" << 2.35 / 14.7;
        QTest::newRow("volts at or above 100")
            << 0 << "V" << 100.0 << 120.0 << "100 V..120 V" << 20.5 / 21;
        QTest::newRow("volts below 100") << 0 << "V" << 12.0 << 14.0 << "12 V..14 V" << 2.05 / 2.1;
        QTest::newRow("amps above 500") << 1 << "A" << 600.0 << 700.0 << "500 A..700 A" << 0.5;
        QTest::newRow("watts below -2000")
            << 2 << "W" << -2500.0 << 100.0 << "-2500 W..100 W" << 2665.0 / 2730;
        QTest::newRow("RPM above 1000")
            << 3 << "R" << 1200.0 << 1500.0 << "1000 RPM..1500 RPM" << 312.5 / 525;
        QTest::newRow("flat volts") << 0 << "V" << 12.5 << 12.5 << "12.5 V..12.5 V" << 0.5;
        QTest::newRow("wind all 0") << 4 << "S" << 0.0 << 0.0 << "0 km/h..0 km/h" << 0.5;
    }
    void seeds()
    {
        QFETCH(int, series);
        QFETCH(QString, settings);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(QString, labels);
        QFETCH(double, lowY);
        auto data = loaded({{0, 0, 0, 0, 0, 0, 600}, {0, 0, 0, 0, 0, 0, 601}});
        double* values[] = {data->HistoryVolts.data(), data->HistoryAmps.data(),
                            data->HistoryWatts.data(), data->HistoryRpm.data(),
                            data->HistoryWind.data()};
        values[series][1] = low;
        values[series][2] = high;
        const GraphPicture picture = draw(*data, settings);
        const GraphLabels& l = *picture.labels;
        const QString shown[] = {l.VMin1 + ".." + l.VMax1, l.AMin1 + ".." + l.AMax1,
                                 l.WMin1 + ".." + l.WMax1, l.RMin1 + ".." + l.RMax1,
                                 l.SMin1 + ".." + l.SMax1};
        QCOMPARE(shown[series], labels);
        const auto lines = itemsIn(picture.plot, SeriesColours[series]);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0].p1.y(), lowY);
    }

    // The reference line belongs only to series that cross zero, both comparisons strict.
    void referenceLines_data()
    {
        QTest::addColumn<QList<double>>("amps");
        QTest::addColumn<QList<double>>("watts");
        QTest::addColumn<QList<double>>("lineYs");
        using L = QList<double>;
        QTest::newRow("amps 2 to 8: none") << L{2, 8} << L{10, 20} << L{};
        QTest::newRow("amps -3 to 5") << L{-3, 5} << L{10, 20} << L{5 / 8.4};
        QTest::newRow("amps 0 to 5: none") << L{0, 5} << L{10, 20} << L{};
        QTest::newRow("amps -3 to 0: none") << L{-3, 0} << L{10, 20} << L{};
        QTest::newRow("both cross, amps first")
            << L{-3, 5} << L{-100, 300} << L{5 / 8.4, 300.0 / 420};
    }
    void referenceLines()
    {
        QFETCH(QList<double>, amps);
        QFETCH(QList<double>, watts);
        QFETCH(QList<double>, lineYs);
        auto data =
            loaded({{12, amps[0], watts[0], 0, 0, 0, 600}, {12, amps[1], watts[1], 0, 0, 0, 601}});
        const auto lines = itemsIn(draw(*data, "AW").plot, DrawGraph::ReferenceColour);
        QCOMPARE(lines.size(), lineYs.size());
        for (int n = 0; n < lines.size(); ++n) {
            QCOMPARE(lines[n].p1, QPointF(0, lineYs[n]));
            QCOMPARE(lines[n].p2, QPointF(1, lineYs[n]));
        }
    }

    // Mode-1 records get a box even with no series on; its height is VoltsMax in whatever
    // extent the drawing before it left in force, and it lies under its position's segments.
    void modeBoxes_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<double>("secondScale");
        QTest::newRow("no series: watts scale") << "0" << 420.0;
        QTest::newRow("volts") << "V0" << 3.15;
        QTest::newRow("volts and amps: amps") << "VA0" << 4.2;
        QTest::newRow("watts and RPM: RPM") << "WR0" << 840.0;
        QTest::newRow("all: wind") << "VAWRS0" << 6.3;
    }
    void modeBoxes()
    {
        QFETCH(QString, settings);
        QFETCH(double, secondScale);
        auto data = loaded(
            {{1, 1, -100, 0, 0, 0, 600}, {2, 3, 0, 500, 2, 1, 601}, {3, 5, 300, 800, 6, 1, 602}});
        const DisplayList list = draw(*data, settings).plot;
        const auto boxes = itemsIn(list, DrawGraph::ModeBoxColour);
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].kind, PlotItem::Kind::Box);
        QCOMPARE(boxes[0].p1, QPointF(0, 0));
        QCOMPARE(boxes[0].p2, QPointF(0.5, 3 / 420.0));
        QCOMPARE(boxes[1].p1, QPointF(0.5, 0));
        QCOMPARE(boxes[1].p2, QPointF(1, 3 / secondScale));
        const int series = settings.size() - 1;
        const int second = int(list.size()) - series - 1;
        QCOMPARE(list[second].colour, DrawGraph::ModeBoxColour);
        QCOMPARE(list[second - series - 1].colour, DrawGraph::ModeBoxColour);
    }

    // Rows outside the view, a lost row at a fractional bound, rows read past the records;
    // a view without a span (one record among them) must only clear, leaving the labels.
    void listShowsTheView_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("last");
        QTest::addColumn<QList<int>>("indices");
        using L = QList<int>;
        QTest::newRow("narrowed") << 10 << 3.0 << 7.0 << L{3, 4, 5, 6, 7};
        QTest::newRow("halves to even") << 10 << 2.5 << 5.7 << L{2, 4, 4, 6};
        QTest::newRow("past the records") << 10 << 8.0 << 40.0 << L{8, 9, 10};
        QTest::newRow("before the records") << 10 << -3.0 << 2.0 << L{1, 2};
        QTest::newRow("one record") << 1 << 1.0 << 1.0 << L{};
        QTest::newRow("reversed view") << 10 << 5.0 << 3.0 << L{};
        QTest::newRow("view 0 to 0 after opening") << 10 << 0.0 << 0.0 << L{};
        QTest::newRow("nothing loaded") << 0 << 1.0 << 5.0 << L{};
    }
    void listShowsTheView()
    {
        QFETCH(int, count);
        QFETCH(double, first);
        QFETCH(double, last);
        QFETCH(QList<int>, indices);
        QVector<Rec> records;
        for (int n = 1; n <= count; ++n)
            records.append({double(n), 0, 0, 0, 0, 1, 600 + n});
        auto data = loaded(records);
        data->HistoryVolts[count + 1] = 99;
        data->ViewFirst = first;
        data->ViewLast = last;
        const GraphPicture picture = draw(*data, "VAWRS");
        QCOMPARE(picture.rows.size(), indices.size());
        for (int row = 0; row < indices.size(); ++row)
            QCOMPARE(picture.rows.cell(row, HistoryRows::VoltsColumn),
                     QString("%1 ").arg(indices[row]));
        if (indices.isEmpty()) {
            QCOMPARE(picture.plot.size(), 1);
            QCOMPARE(picture.plot[0].kind, PlotItem::Kind::Clear);
            QVERIFY(!picture.labels);
            QCOMPARE(picture.extents.width, Design.width);
        } else {
            QVERIFY(picture.labels->VMax1 != "99 V");
        }
    }

    // Cells lose their trailing blank, the list shows arrays a later query overwrote, or
    // the day's last minute reads as 00:00.
    void modelCells()
    {
        auto data = loaded({{13.2, -4.75, 62.7, 312.5, 6.3, 1, 425}, {1, 1, 1, 1, 1, 0, 1439}});
        const GraphPicture picture = draw(*data, "V");
        QCOMPARE(picture.labels->ftime, QString("23:59"));
        HistoryTableModel model;
        model.setWindUnits("km/h");
        model.setRows(picture.rows);
        data->HistoryVolts[1] = 99;
        QCOMPARE(model.rowCount(), 2);
        const QStringList expected{"",      "1 ",     "13.2 ", "-4.75 ",
                                   "62.7 ", "312.5 ", "6.3 ",  "07:05 "};
        QCOMPARE(model.columnCount(), int(expected.size()));
        for (int column = 0; column < expected.size(); ++column)
            QCOMPARE(model.index(0, column).data().toString(), expected[column]);
        QCOMPARE(model.headerData(HistoryRows::WindColumn, Qt::Horizontal).toString(),
                 QString("km/h"));
    }

    // Index arithmetic of the readout (time below, value nearest even), pointer positions
    // past the records, and no readout with a single record.
    void cursorReadout_data()
    {
        QTest::addColumn<double>("viewFirst");
        QTest::addColumn<double>("x");
        QTest::addColumn<QString>("readout");
        QTest::newRow("left edge") << 1.0 << 0.0 << "10:00 12.12 Volts";
        QTest::newRow("right of the records") << 1.0 << 50.0 << "10:02 14 Volts";
        QTest::newRow("view from 2.5") << 2.5 << 0.6 << "10:02 13 Volts";
    }
    void cursorReadout()
    {
        QFETCH(double, viewFirst);
        QFETCH(double, x);
        QFETCH(QString, readout);
        auto data = loaded(
            {{12.125, 0, 0, 0, 0, 0, 600}, {13, 0, 0, 0, 0, 0, 601}, {14, 0, 0, 0, 0, 0, 602}});
        data->ViewFirst = viewFirst;
        const auto shown = CursorReadout::at(*data, x, "km/h");
        QCOMPARE(shown->vt + " " + shown->vv, readout);
        data->HistoryCount = 1;
        QVERIFY(!CursorReadout::at(*data, x, "km/h"));
    }
};

QTEST_GUILESS_MAIN(TestHistoryGraph)
#include "tst_history_graph.moc"
