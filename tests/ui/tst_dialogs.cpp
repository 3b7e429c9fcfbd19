#include "history/PlotPainter.h"
#include "support/SampleDay.h"
#include "support/WindowRig.h"
#include "ui/Calibrate.h"
#include "ui/Graph.h"
#include "ui/PlotCanvas.h"
#include "ui/ProgramSetup.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTableView>
#include <QtTest>

namespace {

QByteArray settingsFile(const char* volts, const char* offset, const char* amps, const char* rpm,
                        const char* wind)
{
    return QByteArray("Calibration Settings\r\n\r\n\r\n<VoltDivider>") + volts +
           "</VoltDivider>\r\n<VoltOffset>" + offset + "</VoltOffset>\r\n<AmpDivider>" + amps +
           "</AmpDivider>\r\n<RPMDivider>" + rpm + "</RPMDivider>\r\n<WSDivider>" + wind +
           "</WSDivider>\r\n";
}

const QByteArray stored = settingsFile("50", "512", "20", "4", "2.5");
// Numbers in longer forms than the dialog shows them.
const QByteArray odd = settingsFile("50.0", "0.250", "-20", "14.0", "2.50");
const QByteArray frame = "[<V>625</V><I>562</I><R>10</R><S>50</S><M>0</M>]";

// Writes both files and hands over the services for a dialog.
AppServices files(WindowRig& rig, const QByteArray& settings = stored, const char* units = "km/h")
{
    rig.write("prog.cfg", QByteArray("<Port>1</Port><WSUnits>") + units + "</WSUnits>");
    rig.write("settings.cfg", settings);
    return rig.services();
}

const auto texts = &WindowRig::texts;

// The layout spelled out here, not taken from the code under test; the five flags from
// Savehtml to DisplayWS are given as digits.
QByteArray layout(const QString& port, const QByteArray& f, const QString& delay,
                  const QString& units)
{
    const auto flag = [f](int i) { return f.mid(i, 1); };
    return "Program Config File\r\n\r\n<Port>" + port.toUtf8() + "</Port>\r\n<Savehtml>" + flag(0) +
           "</Savehtml>\r\n<SaveExcel>" + flag(1) + "</SaveExcel>\r\n<LogDelay>" + delay.toUtf8() +
           "</LogDelay>\r\n<LogOn>" + flag(2) + "</LogOn>\r\n<DisplayRPM>" + flag(3) +
           "</DisplayRPM>\r\n<DisplayWS>" + flag(4) + "</DisplayWS>\r\n<WSUnits>" + units.toUtf8() +
           "</WSUnits>\r\n\r\n";
}

const char* const flagNames[] = {"Savehtml", "SaveExcel", "LogOn", "DisplayRPM", "DisplayWS"};

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

// The calibration, program setup and history dialogs, each opened on its own.
class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    // A sum not using the divider as typed, an unusable divider not skipped, or two frames in
    // one read shown as the second one. Typing an unusable divider afterwards must freeze its
    // result, not blank or zero it.
    void calibrationReadout_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QByteArray>("read");
        // Raw V | raw I | R pulses | RPM | S pulses | wind | volts result | amps result
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QByteArray& settings, const QByteArray& read,
                            const char* out) {
            QTest::newRow(name) << settings << read << QString(out);
        };
        row("all usable", stored, frame, "625|562|10|150 RPM|50|20 km/h|12.5 Volts|2.5 Amps");
        row("two frames in one read", stored, "[<V>600</V><R>8</R>][<V>700</V><I>100</I><R>9</R>]",
            "600|100|8|120 RPM||0 km/h|12 Volts|-20.6 Amps");
        row("all dividers 0", settingsFile("0", "512", "0", "0", "0"), frame,
            "625|562|10|1 RPM|50|0 km/h||");
        // Unlike the main window, a bad I counts 0 here rather than keeping the last one.
        row("not numbers count 0", stored, "[<V>x</V><I></I><R>1,5</R><S> 7 </S>]",
            "0|0|0|0 RPM| 7 |2.8 km/h|0 Volts|-25.6 Amps");
        row("halves to even", settingsFile("1", "0", "1", "4", "2.5"), "[<V>0.125</V><I>0.375</I>]",
            "0.12|0.38||0 RPM||0 km/h|0.12 Volts|0.38 Amps");
    }
    void calibrationReadout()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, read);
        QFETCH(QString, expected);
        WindowRig rig;
        Calibrate d(files(rig, settings));
        rig.link()->feed(read);
        QCOMPARE(texts(d, {"txtBattV", "txtShuntV", "txtPulsess", "txtWindmillRPM", "txtPulsess2",
                           "txtWindSpeed", "txtBattVadjusted", "txtBattAadjusted"}),
                 expected);
        d.findChild<QLineEdit*>("BatteryVolts")->setText("-20");
        d.findChild<QLineEdit*>("BatteryCurrent")->setText("0");
        d.findChild<QLineEdit*>("Pulse2Divider")->setText("x");
        rig.link()->feed("[<V>700</V><I>600</I><S>90</S>]");
        QCOMPARE(texts(d, {"txtWindSpeed", "txtBattVadjusted", "txtBattAadjusted"}),
                 expected.section('|', 5));
    }

    // Boxes filled in the wrong form (shortest, except the wind divider kept as stored) or
    // Label23 without the unit; Zero takes the raw I as shown (0 before any frame) for the sums
    // at once. Only Save writes the file, in the example's layout byte for byte; a divider
    // that stops the main window's conversion is questioned first, naming its step, and No
    // keeps the dialog, the port and the file. Every other way out gives the port back.
    void leavingCalibration_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("button"); // empty: title bar close
        QTest::addColumn<QString>("step");   // in the question; empty: no question
        QTest::addColumn<QByteArray>("file");
        const auto row = [](const char* name, const char* box, const char* value,
                            const char* button, const char* step, const QByteArray& file) {
            QTest::newRow(name) << box << value << button << step << file;
        };
        const QByteArray saved = settingsFile("1.5", "0.25", "-20", "14", "2.50");
        row("Save", "BatteryVolts", "1.5", "Save Calibration", "", saved);
        row("Exit button", "BatteryVolts", "1.5", "Exit ( dont save )", "", odd);
        row("title bar close", "BatteryVolts", "1.5", "", "", odd);
        row("volts 0, No", "BatteryVolts", "0", "Save Calibration", "Step 1. Set Voltage", odd);
        row("volts 0, Yes", "BatteryVolts", "0", "Save Calibration", "Step 1. Set Voltage",
            settingsFile("0", "0.25", "-20", "14", "2.50"));
        row("current 0", "BatteryCurrent", "0", "Save Calibration", "Step 2. Set Current", odd);
        row("current letters", "BatteryCurrent", "x", "Save Calibration", "Step 2.", odd);
        // The main window divides by a negative number too: nothing to ask.
        row("RPM -4", "PulseDivider", "-4", "Save Calibration", "",
            settingsFile("50", "0.25", "-20", "-4", "2.50"));
        row("RPM 0", "PulseDivider", "0", "Save Calibration", "Step 3. Set RPM", odd);
        row("wind empty", "Pulse2Divider", "", "Save Calibration", "Step 4.", odd);
    }
    void leavingCalibration()
    {
        QFETCH(QString, box);
        QFETCH(QString, value);
        QFETCH(QString, button);
        QFETCH(QString, step);
        QFETCH(QByteArray, file);
        WindowRig rig;
        rig.messages.answer = file != odd; // Yes only where the file is to change
        Calibrate d(files(rig, odd, "mph"));
        d.show();
        QCOMPARE(texts(d, {"BatteryVolts", "BatteryCurrent", "OffsetV", "PulseDivider",
                           "Pulse2Divider", "Label23"}),
                 QString("50|-20|0.25|14|2.50|How many pulses per mph?"));
        QVERIFY(rig.link()->isOpen() && d.statusText().isEmpty());
        WindowRig::press(d, "Zero");
        QCOMPARE(texts(d, {"OffsetV"}), QString("0"));
        rig.link()->feed("[<I>0.254</I>]");
        WindowRig::press(d, "Zero");
        rig.link()->feed("[<I>20.25</I>]");
        QCOMPARE(texts(d, {"OffsetV", "txtBattAadjusted"}), QString("0.25|-1 Amps"));

        d.findChild<QLineEdit*>(box)->setText(value);
        if (button.isEmpty())
            d.close();
        else
            WindowRig::press(d, button);
        QCOMPARE(rig.messages.asked.size(), step.isEmpty() ? 0 : 1);
        QVERIFY2(rig.messages.asked.join("").contains(step), qPrintable(step));
        QCOMPARE(rig.read("settings.cfg"), file);
        const bool kept = !step.isEmpty() && file == odd;
        QCOMPARE(d.isVisible(), kept);
        QCOMPARE(rig.link()->isOpen(), kept);
    }

    // Trouble leaves a working dialog: a damaged prog.cfg names the keys this dialog reads
    // (and no others, see leavingCalibration()), a port that will not open is said until it opens, and a
    // settings file that cannot be written is reported at Save, where the dialog, its entries
    // and the port stay. Retrying and unplugging are PortKeeper's, tried in tst_mainwindow.
    void troubleIsReportedAndSurvived()
    {
        WindowRig rig;
        rig.write("prog.cfg", "<Port>1</Port>");
        QVERIFY(QDir(rig.path("")).mkdir("settings.cfg"));
        rig.refuseOpen = true;
        Calibrate d(rig.services());
        d.show();
        for (const char* part : {"WSUnits", "settings.cfg", "Cannot open COM1"})
            QVERIFY2(d.statusText().contains(part), part);
        rig.link()->refuseOpen = false;
        WindowRig::tick(d, "PortRetry");
        QVERIFY(rig.link()->isOpen() && !d.statusText().contains("COM1"));

        d.findChild<QLineEdit*>("BatteryVolts")->setText("51");
        WindowRig::press(d, "Save Calibration");
        QVERIFY(rig.messages.shown.size() == 1 && rig.messages.shown[0].contains("not saved"));
        QVERIFY(d.isVisible() && rig.link()->isOpen());
        QCOMPARE(texts(d, {"BatteryVolts"}), QString("51"));
    }

    // A bad port reaching the file or closing the dialog, the other values not saved as
    // typed, or closing without Save touching the file. Each flag must reach its own key as 0
    // or 1, never "true"; a stored 2 (shown greyed) survives a save, and once clicked never
    // comes back.
    void savedRefusedOrClosed_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QByteArrayList>("flags"); // digits as stored, clicks, digits as saved
        QTest::addColumn<QString>("outcome");
        const QByteArrayList same = {"01011", "00000", "01011"};
        for (const char* port : {"0", "9", "COM1", "0.99"})
            QTest::newRow(port) << port << same << "refused";
        for (const char* port : {"1", "8", " 2 "})
            QTest::newRow(port) << port << same << "saved";
        QTest::newRow("3") << "3" << same << "closed";
        QTest::newRow("untouched") << "1" << QByteArrayList{"01210", "00000", "01210"} << "saved";
        QTest::newRow("clicked") << "1" << QByteArrayList{"11222", "11213", "00011"} << "saved";
    }
    void savedRefusedOrClosed()
    {
        QFETCH(QString, port);
        QFETCH(QByteArrayList, flags);
        QFETCH(QString, outcome);
        const QString units = QString::fromUtf8("km/\u00e5");
        WindowRig rig;
        // A DisplayRPM of 1 stored as 1.0, which counts as on and is saved as 1.
        const QByteArray stored =
            layout("1", flags[0], "60", "km/h").replace("<DisplayRPM>1<", "<DisplayRPM>1.0<");
        rig.write("prog.cfg", stored);
        ProgramSetup d(rig.services());
        d.show();
        for (int i = 0; i < 5; ++i)
            for (int n = flags[1][i] - '0'; n > 0; --n)
                d.findChild<QCheckBox*>(flagNames[i])->click();
        d.findChild<QLineEdit*>("PortNumber")->setText(port);
        d.findChild<QLineEdit*>("LogDelay")->setText("abc");
        d.findChild<QLineEdit*>("WSUnits")->setText(units);
        if (outcome == "closed")
            d.close();
        else
            WindowRig::press(d, "Save Setings");
        const bool refused = outcome == "refused";
        QCOMPARE(rig.messages.shown,
                 refused ? QStringList{ProgramSetup::BadPortMessage} : QStringList());
        QCOMPARE(rig.read("prog.cfg"),
                 outcome == "saved" ? layout(port, flags[2], "abc", units) : stored);
        QCOMPARE(d.isVisible(), refused);
        QCOMPARE(d.findChild<QLineEdit*>("PortNumber")->text(), port);
    }

    // Without a readable prog.cfg the dialog says so and opens on port 1; the hint must follow
    // the typed number and show a COM<N> link before the ttyS fallback. A file that cannot be
    // written is reported, and the dialog and its entries stay.
    void portHintAndFailedSave()
    {
        WindowRig rig;
        QVERIFY(QDir(rig.path("")).mkdir("prog.cfg"));
        QVERIFY(QFile::link("/dev/null", rig.path("COM2")));
        ProgramSetup d(rig.services());
        d.show();
        QVERIFY(d.statusText().contains("prog.cfg"));
        auto* hint = d.findChild<QLabel*>("PortHint");
        QVERIFY(hint->text().startsWith("Port 1 is /dev/ttyS0"));
        QVERIFY(hint->text().contains("COM2 -> /dev/null"));
        d.findChild<QLineEdit*>("PortNumber")->setText("COM1");
        QVERIFY(hint->text().startsWith("Type a port number"));
        d.findChild<QLineEdit*>("PortNumber")->setText("2");
        QVERIFY(hint->text().startsWith("Port 2 is COM2 -> /dev/null"));
        WindowRig::press(d, "Save Setings");
        QVERIFY(rig.messages.shown.size() == 1 && rig.messages.shown[0].contains("not saved"));
        QVERIFY(d.isVisible());
        QCOMPARE(d.findChild<QLineEdit*>("PortNumber")->text(), QString("2"));
    }

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

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
