#include "config/ProgramConfig.h"
#include "history/HistoryTableModel.h"
#include "support/WindowRig.h"
#include "ui/Graph.h"
#include "ui/PlotCanvas.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {

// The history window opened on 5 May 2031; with records, that day's log holds them (two a
// minute from 00:01 on, volts 12 + a small step) and Display has loaded them.
struct Window
{
    explicit Window(WindowRig& rig, int records = 0, const QString& rpm = "1",
                    const QString& ws = "0")
    {
        rig.clock.set(QDateTime(QDate(2031, 5, 5), QTime(13, 0)));
        ProgramConfig program = ProgramConfig::defaults();
        program.DisplayRPM = rpm;
        program.DisplayWS = ws;
        program.WSUnits = "mph";
        rig.write("prog.cfg", program.fileText());
        QByteArray log;
        for (int i = 0; i < records; ++i) {
            const int minute = 1 + i / 2;
            log += "<V>" + QByteArray::number(12 + (i % 10) / 10.0) +
                   "</V><I>1.5</I><W>18</W><R>300</R><S>12.5</S><M>" +
                   QByteArray::number(i % 7 == 0) + "</M><T>" +
                   QTime(minute / 60, minute % 60).toString("HH:mm").toLatin1() + "</T>\r\n";
        }
        if (records)
            rig.write("logs/2031_5_5.txt", log);
        g = std::make_unique<Graph>(rig.services());
        g->Load();
        if (records)
            display();
    }
    template <class T> T* child(const char* name) const { return g->findChild<T*>(name); }
    QString text(const char* name) const
    {
        if (auto* edit = child<QLineEdit>(name))
            return edit->text();
        return child<QLabel>(name)->text();
    }
    PlotCanvas* plot() const { return child<PlotCanvas>("Plot"); }
    int rows() const { return child<QTableView>("ListView1")->model()->rowCount(); }
    void display() const { child<QPushButton>("Command1")->click(); }
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
    // The window opens on a fixed date instead of today's, or with series prog.cfg did not
    // ask for, or the wind column without its unit.
    void openingFollowsTodayAndConfiguration_data()
    {
        QTest::addColumn<bool>("rpm");
        QTest::addColumn<bool>("ws");
        QTest::newRow("RPM shown, wind not") << true << false;
        QTest::newRow("wind shown, RPM not") << false << true;
    }
    void openingFollowsTodayAndConfiguration()
    {
        QFETCH(bool, rpm);
        QFETCH(bool, ws);
        WindowRig rig;
        Window w(rig, 0, rpm ? "1" : "0", ws ? "1" : "0");
        QCOMPARE((QStringList{w.text("DateY1"), w.text("DateM1"), w.text("DateD1")}),
                 (QStringList{"2031", "5", "5"}));
        QCOMPARE(
            (QStringList{w.text("Time1h"), w.text("Time1m"), w.text("Time2h"), w.text("Time2m")}),
            (QStringList{"00", "00", "23", "59"}));
        for (const char* on : {"Check1", "Check2", "Check3", "Check6"})
            QVERIFY2(w.child<QCheckBox>(on)->isChecked(), on);
        QCOMPARE(w.child<QCheckBox>("Check4")->isChecked(), rpm);
        QCOMPARE(w.child<QCheckBox>("Check5")->isChecked(), ws);
        QCOMPARE(w.child<QTableView>("ListView1")->model()->headerData(6, Qt::Horizontal),
                 QVariant("mph"));
    }

    // A query message that never reaches the user, or a file created for a missing day.
    void displayShowsMessages()
    {
        WindowRig rig;
        Window w(rig);
        w.display(); // no log for the day
        w.child<QLineEdit>("DateD1")->setText("31");
        w.child<QLineEdit>("DateM1")->setText("2");
        w.display();
        QCOMPARE(rig.messages.shown,
                 (QStringList{"No data for that date", "Bad date format for record date"}));
        QVERIFY(!QFile::exists(rig.path("logs/2031_5_5.txt")));
    }

    // A readout of the wrong record, without its unit, or read past the loaded records; one
    // drag narrows the view to the dragged positions with a red drag line, and a second is
    // ignored until Display.
    void readoutAndDragZoomOnce()
    {
        WindowRig rig;
        Window w(rig, 1440);
        QCOMPARE(int(w.g->history().HistoryCount), 1440);
        QCOMPARE(w.rows(), 1440);
        emit w.plot()->moved(QPointF(4, 0)); // the fifth record: 00:03, 12.4 V
        QCOMPARE(
            (QStringList{w.text("vt"), w.text("vv"), w.text("av"), w.text("wv"), w.text("rv"),
                         w.text("sv")}),
            (QStringList{"00:03", "12.4 Volts", "1.5 Amps", "18 Watts", "300 RPM", "12.5 mph"}));
        emit w.plot()->moved(QPointF(5000, 0));
        QCOMPARE(w.text("vt"), QString("12:00"));

        emit w.plot()->pressed(QPointF(100, 0));
        emit w.plot()->moved(QPointF(250, 0));
        const PlotItem dragLine = w.plot()->list().last();
        QCOMPARE(dragLine.kind, PlotItem::Kind::Line);
        QCOMPARE(dragLine.colour, qRgb(255, 0, 0));
        emit w.plot()->released(QPointF(250, 0));
        QCOMPARE(w.g->history().ViewFirst, 100.0);
        QCOMPARE(w.g->history().ViewLast, 250.0);
        QCOMPARE(w.rows(), 151);
        w.drag(10, 50);
        QCOMPARE(w.g->history().ViewFirst, 100.0);
        QCOMPARE(w.rows(), 151);
        w.display();
        QCOMPARE(w.rows(), 1440);
        w.drag(10, 50);
        QCOMPARE(w.rows(), 41);
    }

    // A click without movement must move the start of the view for the next redraw only.
    void clickThenCheckBoxRedrawsFromTheClick()
    {
        WindowRig rig;
        Window w(rig, 1440);
        const DisplayList before = w.plot()->list();
        emit w.plot()->pressed(QPointF(300, 0));
        emit w.plot()->released(QPointF(300, 0));
        QCOMPARE(w.rows(), 1440);
        QCOMPARE(w.plot()->list().size(), before.size());
        w.child<QCheckBox>("Check1")->click();
        QCOMPARE(w.rows(), 1440 - 300 + 1);
        for (const PlotItem& item : w.plot()->list())
            QVERIFY(item.colour != qRgb(255, 0, 0)); // no volts line once unchecked
    }

    // With a single record neither the mouse nor the check boxes draw anything.
    void oneRecordDrawsNothing()
    {
        WindowRig rig;
        Window w(rig, 1);
        const int items = w.plot()->list().size();
        w.child<QCheckBox>("Check2")->click();
        w.drag(0, 0.5);
        emit w.plot()->moved(QPointF(0.2, 0));
        QCOMPARE(w.plot()->list().size(), items);
        QCOMPARE(w.text("vt"), QString());
    }
};

QTEST_MAIN(TestGraph)
#include "tst_graph.moc"
