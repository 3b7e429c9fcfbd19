#include "history/CursorReadout.h"
#include "history/DrawGraph.h"
#include "history/HistoryQuery.h"
#include "history/HistoryTableModel.h"
#include "support/TempFolder.h"

#include <QtTest>
#include <memory>

namespace {

QByteArray record(const QByteArray& time, const QByteArray& volts = "13.2")
{
    return "<V>" + volts + "</V><I>4.75</I><W>62.7</W><R>312.5</R><S>6.3</S><M>1</M><T>" + time +
           "</T>\r\n";
}

// A log for 7 March 2010, and arrays an earlier query filled, to see what a query changes.
struct ProgramFolder : TempFolder
{
    std::unique_ptr<HistoryData> data = std::make_unique<HistoryData>();

    explicit ProgramFolder(const QByteArray& log)
    {
        QDir(m_dir.path()).mkdir("logs");
        write("logs/2010_3_7.txt", log);
    }
    // The boxes typed as "d/m h:m-h:m", in 2010.
    HistoryQuery::Result run(const QString& typed = "7/3 00:00-23:59") const
    {
        data->HistoryVolts.fill(-1);
        data->HistoryCount = 5;
        data->ViewFirst = 2;
        data->ViewLast = 4;
        data->zoomed = true;
        const QStringList t = typed.split(QRegularExpression("[/ :-]"));
        const auto checked = HistoryQuery::parseInput({"2010", t[1], t[0], t[2], t[3], t[4], t[5]});
        const auto* r = std::get_if<HistoryRange>(&checked);
        return r ? HistoryQuery::run(path(""), r->day, r->from, r->to, *data)
                 : std::get<HistoryQuery::Result>(checked);
    }
};

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

// A day read back from its log, then drawn and listed.
class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    // Input checks skipped or out of order; bounds taken as inclusive or compared as text.
    // Bad input changes nothing; no records leave the arrays and the view as they were.
    void query_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("minutes");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* typed, const QList<int>& minutes,
                            const QString& message = {}) {
            QTest::newRow(name) << QString(typed) << minutes << message;
        };
        row("31 February", "31/2 0:0-23:59", {}, "Bad date format for record date");
        row("all bad: start first", "31/2 25:0-x:0", {}, "Bad time format for start time");
        row("finish and date bad", "31/2 0:0-x:0", {}, "Bad time format for finish time");
        row("00:00 and 23:59 left out", "7/3 00:00-23:59", {1, 720, 1438});
        row("one-digit boxes", "7/3 0:0-12:1", {1, 720});
        row("start after finish", "7/3 23:00-01:00", {}, "No data for that date");
    }
    void query()
    {
        QFETCH(QString, typed);
        QFETCH(QList<int>, minutes);
        QFETCH(QString, message);
        const ProgramFolder folder(record("00:00") + record("00:01") + record("12:00") +
                                   record("23:58") + record("23:59"));
        const auto result = folder.run(typed);
        QCOMPARE(result.message, message);
        QCOMPARE(result.draw(), message.isEmpty());
        const bool badInput = message.startsWith("Bad");
        QCOMPARE(int(folder.data->HistoryCount), badInput ? 5 : int(minutes.size()));
        QCOMPARE(folder.data->zoomed, badInput);
        QCOMPARE(folder.data->ViewLast, minutes.isEmpty() ? 4.0 : double(minutes.size()));
        QCOMPARE(folder.data->HistoryVolts[1], minutes.isEmpty() ? -1.0 : 13.2);
        for (int n = 0; n < minutes.size(); ++n)
            QCOMPARE(folder.data->HistoryTimes[n + 1], minutes[n] / 1440.0);
    }

    // Each row guards a way a damaged or unusual line could be miscounted or crash the reader.
    void lines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<double>>("first"); // V I W R S M of record 1
        using L = QList<double>;
        QTest::newRow(
            "stray <; first V pair non-numeric; reversed R; W closed only; M past 16 bits")
            << QByteArray("xx9</W><<V>abc</V><V>2</V></R>5<R><I>2</I><M>70000</M><T>10:00</T>") << 1
            << L{0, 2, 0, 0, 0, 0};
        QTest::newRow("lone CR no line end, lone LF one, none needed on the last; blanks round T")
            << QByteArray("<V>1</V>\r<T> 10:00 </T>\n<V>2</V><T>10:01</T>") << 2
            << L{1, 0, 0, 0, 0, 0};
        QTest::newRow("non-record lines skipped")
            << QByteArray("\r\n<V>9</V>\r\n<T>25:00</T>\r\n</T>10:00<T>\r\n") +
                   QByteArray(300, '\0') + "\r\n" + record("10:00")
            << 1 << L{13.2, 4.75, 62.7, 312.5, 6.3, 1};
        QTest::newRow("record across a block end; a line past a block is no record")
            << QByteArray((1 << 20) - 40, 'x') + "\r\n" + record("10:00") +
                   QByteArray(3 << 19, 'y') + "<T>10:30</T>\r\n" + record("11:00")
            << 2 << L{13.2, 4.75, 62.7, 312.5, 6.3, 1};
    }
    void lines()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, count);
        QFETCH(QList<double>, first);
        const ProgramFolder folder(text);
        QVERIFY(folder.run().draw());
        const HistoryData* data = folder.data.get();
        QCOMPARE(int(data->HistoryCount), count);
        QCOMPARE((QList<double>{data->HistoryVolts[1], data->HistoryAmps[1], data->HistoryWatts[1],
                                data->HistoryRpm[1], data->HistoryWind[1],
                                double(data->HistoryModes[1])}),
                 first);
    }

    // Writes no byte, folder or missing day's file; "03" finds 2010_3_7; read errors name the file.
    void onlyReads()
    {
        const QByteArray text = record("09:00") + record("09:10");
        const ProgramFolder folder(text);
        QCOMPARE(folder.run("8/3 00:00-23:59").message, QString("No data for that date"));
        QVERIFY(folder.run("07/03 00:00-23:59").draw());
        QCOMPARE(folder.read("logs/2010_3_7.txt"), text);
        const QDir logs(folder.path("") + "/logs");
        QCOMPARE(logs.entryList(QDir::NoDotAndDotDot | QDir::AllEntries), {"2010_3_7.txt"});

        QVERIFY(QDir(logs).removeRecursively());
        QCOMPARE(folder.run().message, QString("No data for that date"));
        QVERIFY(QDir(folder.path("")).isEmpty());

        QVERIFY(QDir().mkpath(folder.path("logs/2010_3_7.txt")));
        const auto result = folder.run();
        QCOMPARE(result.outcome, HistoryQuery::Outcome::Unreadable);
        QVERIFY(result.message.contains("2010_3_7.txt"));
        QCOMPARE(folder.data->HistoryCount, qint16(0));
    }

    // The 9,999th record is the last taken; the 10,000th stops the query, keeping the view.
    void recordLimit()
    {
        QByteArray text;
        for (int n = 1; n <= 9999; ++n)
            text += record(QString::asprintf("%d:%02d", 1 + n % 1320 / 60, n % 60).toLatin1(),
                           QByteArray::number(n));
        const ProgramFolder folder(text + record("23:58", "10000"));
        QVERIFY(folder.run("7/3 00:00-23:58").draw());

        QVERIFY(folder.run().message.endsWith("you wont have this problem in the future. "));
        QCOMPARE(int(folder.data->HistoryCount), 10000);
        QVERIFY(!folder.data->zoomed);
        QCOMPARE(folder.data->HistoryVolts[9999], 9999.0);
        QCOMPARE(folder.data->HistoryVolts[10000], -1.0);
        QCOMPARE(folder.data->ViewFirst, 2.0);
    }

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
        const QString shown[] = {l.voltsMin + ".." + l.voltsMax, l.ampsMin + ".." + l.ampsMax,
                                 l.wattsMin + ".." + l.wattsMax, l.rpmMin + ".." + l.rpmMax,
                                 l.windMin + ".." + l.windMax};
        QCOMPARE(shown[n], labels);
        QCOMPARE(codes(picture.plot), (lineY == 0 ? "C" : "C-") + settings.left(1));
        QCOMPARE(picture.plot.last().p1, QPointF(0, lowY));
        QCOMPARE(picture.plot.last().p2.x(), 1.0);
        if (lineY != 0)
            QCOMPARE(QLineF(picture.plot[1].p1, picture.plot[1].p2), QLineF(0, lineY, 1, lineY));
    }

    // Mode-1 boxes come even with no series on, under their position's segments, as high as
    // VoltsMax in whatever extent the drawing before left in force.
    void modeBoxes()
    {
        auto data = loaded(
            {{1, 1, -100, 0, 0, 0, 600}, {2, 3, 0, 500, 2, 1, 601}, {3, 5, 300, 800, 6, 1, 602}});
        // No series: the second box on the watts scale; all: on the wind's.
        for (const auto& [settings, secondScale, items] :
             {std::tuple{"0", 420.0, "C-BB"}, {"VAWRS0", 6.3, "C-BVAWRSBVAWRS"}}) {
            const GraphPicture picture = draw(*data, settings);
            QCOMPARE(codes(picture.plot), QString(items));
            QCOMPARE(picture.extents.width, 2.0);
            const PlotItem& box1 = picture.plot[int(QString(items).indexOf('B'))];
            const PlotItem& box2 = picture.plot[int(QString(items).lastIndexOf('B'))];
            QCOMPARE(QLineF(box1.p1, box1.p2), QLineF(0, 0, 0.5, 3 / 420.0));
            QCOMPARE(QLineF(box2.p1, box2.p2), QLineF(0.5, 0, 1, 3 / secondScale));
        }
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
        QCOMPARE(shown ? shown->time + " " + shown->volts : QString(), readout);
        QCOMPARE(bool(picture.labels), !volts.isEmpty());
        if (volts.isEmpty())
            QCOMPARE(picture.extents.width, Design.width);
    }

    // Cells lose their trailing blank, the list shows arrays a later query overwrote, or
    // the day's last minute reads as 00:00.
    void modelCells()
    {
        auto data = loaded({{13.2, -4.75, 62.7, 312.5, 6.3, 1, 425}, {1, 1, 1, 1, 1, 0, 1439}});
        const GraphPicture picture = draw(*data, "V");
        QCOMPARE(picture.labels->start + picture.labels->finish, QString("07:0523:59"));
        HistoryTableModel model;
        model.setRows(picture.rows);
        data->HistoryVolts[1] = 99;
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.index(0, column).data().toString();
        QCOMPARE(cells.join('|'), QString("|1 |13.2 |-4.75 |62.7 |312.5 |6.3 |07:05 "));
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
