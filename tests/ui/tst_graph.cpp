#include "history/PlotPainter.h"
#include "support/SampleDay.h"
#include "support/WindowRig.h"
#include "ui/Graph.h"
#include "ui/PlotCanvas.h"

#include <QLineEdit>
#include <QPainter>
#include <QTableView>
#include <QtTest>

namespace {

// The history window opened on 5 May 2031, whose log is given, and Display pressed.
struct Window
{
    explicit Window(WindowRig& rig, const QByteArray& log)
    {
        rig.clock.set(QDateTime(QDate(2031, 5, 5), QTime(13, 0)));
        // Other keys missing fall back to the defaults: RPM shown.
        rig.write("prog.cfg", "<DisplayWS>0</DisplayWS><WSUnits>mph</WSUnits>");
        rig.write("logs/2031_5_5.txt", log);
        g = std::make_unique<Graph>(rig.services());
        g->resetForOpening();
        display();
    }
    QLineEdit* box(const char* name) const { return g->findChild<QLineEdit*>(name); }
    QAbstractButton* check(const char* caption) const { return WindowRig::button(*g, caption); }
    QString texts(const QList<const char*>& names) const { return WindowRig::texts(*g, names); }
    PlotCanvas* plot() const { return g->findChild<PlotCanvas*>(); }
    QAbstractItemModel* list() const { return g->findChild<QTableView*>()->model(); }
    void display() const { WindowRig::press(*g, "Display"); }
    void drag(double from, double to) const
    {
        emit plot()->pressed(QPointF(from, 0));
        emit plot()->moved(QPointF(to, 0));
        emit plot()->released(QPointF(to, 0));
    }

    std::unique_ptr<Graph> g;
};

} // namespace

class TestGraph : public QObject
{
    Q_OBJECT

private slots:
    // The window opens on a fixed date instead of today's, with series prog.cfg did not ask
    // for, check boxes off their colours (every one once came out light grey), or the wind
    // column without its unit; with a single record a drag draws nothing; a query message
    // never reaches the user, or a date box never reaches the query.
    void openingOneRecordAndMessages()
    {
        WindowRig rig;
        Window w(rig, dayLog(1));
        QCOMPARE(w.texts({"DateY1", "DateM1", "DateD1"}), QString("2031|5|5"));
        // Series on their series colour, Wind Speed on the usual check box background, "Ref V
        // to 0v" white on grey.
        const QColor colours[] = {QColor(255, 0, 0),     QColor(0, 255, 0),
                                  QColor(128, 128, 255), QColor(255, 255, 0),
                                  QPalette().color(QPalette::Window), QColor(128, 128, 128)};
        const char* captions[] = {"Volts", "Amps", "Watts", "RPM", "Wind Speed", "Ref V to 0v"};
        for (int i = 0; i < 6; ++i) {
            QAbstractButton* box = w.check(captions[i]);
            QCOMPARE(box->isChecked(), i != 4);
            const QImage painted = box->grab().toImage();
            QCOMPARE(painted.pixelColor(painted.width() - 2, painted.height() - 2), colours[i]);
            QCOMPARE(box->palette().color(QPalette::WindowText),
                     i == 5 ? QColor(Qt::white) : QColor(Qt::black));
        }
        QStringList headers;
        for (int column = 1; column < 8; ++column)
            headers << w.list()->headerData(column, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{"Mode", "Volts", "Amps", "Watts", "RPM", "mph", "Time"}));

        w.drag(0, 0.5);
        QCOMPARE(w.plot()->list().size(), 1); // the clear alone

        // 31/5 and 5/2 are valid dates: only both boxes read give this message.
        w.box("DateD1")->setText("31");
        w.box("DateM1")->setText("2");
        w.display();
        QCOMPARE(rig.messages.shown, QStringList{"Bad date format for record date"});
    }

    // A readout of the wrong record or without its unit; one drag narrows the view to the
    // dragged positions with a red drag line, and a second is ignored until Display. A window
    // opened again showed the last day's list, graph, labels and readout under today's date,
    // because boxes that were checked already raised no click, or kept its records.
    void readoutDragZoomAndOpeningAgain()
    {
        WindowRig rig;
        Window w(rig, dayLog(1440));
        w.g->show(); // the real pointer once: mouse pixels reach the readout
        QVERIFY(!w.plot()->grab().toImage().allGray()); // the series painted, not only listed
        QTest::mouseMove(w.plot(), QPoint(w.plot()->width() / 2, 5));
        QVERIFY(!w.texts({"vt"}).isEmpty());
        emit w.plot()->moved(QPointF(4, 0)); // the fifth; its neighbours differ in every value
        QCOMPARE(w.texts({"vt", "vv", "av", "wv", "rv", "sv"}),
                 QString("00:04|12.88 Volts|5.62 Amps|72.39 Watts|354.9 RPM|6.5 mph"));

        emit w.plot()->pressed(QPointF(100, 0));
        emit w.plot()->moved(QPointF(250, 0));
        QCOMPARE(w.plot()->list().last().kind, PlotItem::Kind::Line);
        QCOMPARE(w.plot()->list().last().colour, qRgb(255, 0, 0));
        emit w.plot()->released(QPointF(250, 0));
        QCOMPARE(w.texts({"stime", "ftime"}), QString("01:39|04:09")); // records 100 and 250
        QCOMPARE(w.list()->rowCount(), 151);
        w.drag(10, 50);
        QCOMPARE(w.list()->rowCount(), 151);
        w.display();
        w.drag(10, 50);
        QCOMPARE(w.list()->rowCount(), 41);

        // Opened again, after a query and after "No data for that date": a hover filled the
        // readout, and a drag drew, the records of the query before.
        for (bool noData : {false, true}) {
            for (const char* name : {"Time1h", "Time1m", "Time2h", "Time2m"})
                w.box(name)->setText("12");
            if (noData)
                w.display();
            w.g->resetForOpening();
            QTest::mouseMove(w.plot(), QPoint(w.plot()->width() / 3, 5));
            w.drag(10, 50);
            QCOMPARE(w.list()->rowCount(), 0);
            QCOMPARE(w.plot()->list().size(), 1); // the clear alone
            QCOMPARE(w.texts({"Time1h", "Time1m", "Time2h", "Time2m", "stime", "ftime", "VMax1",
                              "SMin1", "vt", "vv", "sv"}),
                     QString("00|00|23|59|Start|Finish|0|0|||"));
        }
        QCOMPARE(rig.messages.shown, QStringList{"No data for that date"});

        // A drag ending where it began moves the start of the view for the next redraw only.
        w.display();
        w.drag(300, 300);
        QCOMPARE(w.list()->rowCount(), 1440);
        w.check("Volts")->click();
        QCOMPARE(w.list()->rowCount(), 1440 - 300 + 1);
        for (const PlotItem& item : w.plot()->list())
            QVERIFY(item.colour != qRgb(255, 0, 0)); // no volts line once unchecked
    }

    // A day at the record limit painted with one stroke per pixel column must look like
    // every segment painted as it is.
    void columnStrokesLookLikeEverySegment()
    {
        WindowRig rig;
        Window w(rig, dayLog(9999));
        w.check("Wind Speed")->click(); // the one series off: now every one is drawn
        const DisplayList& list = w.plot()->list();
        for (const QSize size : {QSize(1920, 1080), QSize(469, 349)}) {
            QImage strokes(size, QImage::Format_RGB32), every(size, QImage::Format_RGB32);
            QPainter painter(&strokes);
            PlotPainter::paint(painter, list, size);
            painter.end();
            painter.begin(&every); // begin() puts every setting back to its default
            PlotPainter::paintEverySegment(painter, list, size);
            painter.end();
            int differ = 0;
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    differ += strokes.pixel(x, y) != every.pixel(x, y);
            const double share = 100.0 * differ / (size.width() * size.height());
            QVERIFY2(share <= 0.5, qPrintable(QString("%1% of pixels differ").arg(share)));
        }
    }
};

QTEST_MAIN(TestGraph)
#include "tst_graph.moc"
