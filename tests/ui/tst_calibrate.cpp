#include "support/WindowRig.h"
#include "ui/Calibrate.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
const QByteArray frame = "[<V>625</V><I>562</I><R>10</R><S>50</S><M>0</M>]";

// Writes both files and hands over the services for a dialog.
AppServices files(WindowRig& rig, const QByteArray& settings = stored, const char* units = "km/h")
{
    rig.write("prog.cfg", QByteArray("<Port>1</Port><WSUnits>") + units + "</WSUnits>");
    rig.write("settings.cfg", settings);
    return rig.services();
}

QString text(const Calibrate& d, const char* name)
{
    if (auto* label = d.findChild<QLabel*>(name))
        return label->text();
    return d.findChild<QLineEdit*>(name)->text();
}

void type(Calibrate& d, const char* name, const QString& value)
{
    d.findChild<QLineEdit*>(name)->setText(value);
}

void click(Calibrate& d, const char* name)
{
    d.findChild<QPushButton*>(name)->click();
}

} // namespace

class TestCalibrate : public QObject
{
    Q_OBJECT

private slots:
    // Boxes filled in the wrong form (shortest, except the wind divider kept as stored), or
    // Label23 without the unit.
    void openFillsFromFiles()
    {
        WindowRig rig;
        Calibrate d(files(rig, settingsFile("50.0", "0.250", "-20", "14.0", "2.50"), ""));
        const QStringList filled = {text(d, "BatteryVolts"),  text(d, "BatteryCurrent"),
                                    text(d, "OffsetV"),       text(d, "PulseDivider"),
                                    text(d, "Pulse2Divider"), text(d, "Label23")};
        QCOMPARE(filled, (QStringList{"50", "-20", "0.25", "14", "2.50", "How many pulses per ?"}));
        QVERIFY(rig.link()->isOpen());
        QVERIFY(d.statusText().isEmpty());
    }

    // A frame shown before its closing bracket, or two frames in one read shown as the
    // second one: the first of each tag wins.
    void framesSplitOrDoubled()
    {
        WindowRig rig;
        Calibrate d(files(rig));
        rig.link()->feed(frame.left(12));
        rig.link()->feed(frame.mid(12, 20));
        QCOMPARE(text(d, "txtBattV"), QString("0"));
        rig.link()->feed(frame.mid(32));
        QCOMPARE(text(d, "txtBattVadjusted"), QString("12.5 Volts"));
        rig.link()->feed("[<V>600</V><R>8</R>][<V>700</V><I>100</I><R>9</R>]");
        QCOMPARE(text(d, "txtBattV") + text(d, "txtShuntV") + text(d, "txtPulsess"),
                 QString("6001008"));
    }

    // A sum not using the divider as typed, or an unusable divider skipped the wrong way.
    void readout_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QByteArray>("received");
        // Raw V | raw I | R pulses | RPM | S pulses | wind | volts result | amps result
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QByteArray& settings, const QByteArray& in,
                            const char* out) { QTest::newRow(name) << settings << in << out; };
        row("all usable", stored, frame, "625|562|10|150 RPM|50|20 km/h|12.5 Volts|2.5 Amps");
        row("no R pair", stored, "[<V>625</V><I>562</I><S>50</S>]",
            "625|562||0 RPM|50|20 km/h|12.5 Volts|2.5 Amps");
        row("RPM divider 0", settingsFile("50", "512", "20", "0", "2.5"), frame,
            "625|562|10|1 RPM|50|20 km/h|12.5 Volts|2.5 Amps");
        row("RPM divider -1", settingsFile("50", "512", "20", "-1", "2.5"), frame,
            "625|562|10|1 RPM|50|20 km/h|12.5 Volts|2.5 Amps");
        row("RPM divider letters", settingsFile("50", "512", "20", "abc", "2.5"), frame,
            "625|562|10|1 RPM|50|20 km/h|12.5 Volts|2.5 Amps");
        row("wind divider 0 first", settingsFile("50", "512", "20", "4", "0"), frame,
            "625|562|10|150 RPM|50|0 km/h|12.5 Volts|2.5 Amps");
        row("current divider -20", settingsFile("50", "0", "-20", "4", "2.5"), "[<I>100</I>]",
            "0|100||0 RPM||0 km/h|0 Volts|-5 Amps");
        // Unlike the main window, a bad I counts 0 here rather than keeping the last one.
        row("not numbers count 0", stored, "[<V>x</V><I></I><R>1,5</R><S> 7 </S>]",
            "0|0|0|0 RPM| 7 |2.8 km/h|0 Volts|-25.6 Amps");
        row("halves to even", settingsFile("1", "0", "1", "4", "2.5"), "[<V>0.125</V><I>0.375</I>]",
            "0.12|0.38||0 RPM||0 km/h|0.12 Volts|0.38 Amps");
    }
    void readout()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, received);
        QFETCH(QString, expected);
        WindowRig rig;
        Calibrate d(files(rig, settings));
        rig.link()->feed(received);
        QStringList shown;
        for (const char* name :
             {"txtBattV", "txtShuntV", "txtPulsess", "txtWindmillRPM", "txtPulsess2",
              "txtWindSpeed", "txtBattVadjusted", "txtBattAadjusted"})
            shown << text(d, name);
        QCOMPARE(shown.join('|'), expected);
    }

    // Typing an unusable divider must freeze the result, not blank or zero it.
    void unusableDividerKeepsResult_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("bad");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("kept");
        const auto row = [](const char* box, const char* bad, const char* result,
                            const char* kept) {
            QTest::newRow(box) << QString(box) << QString(bad) << QString(result) << QString(kept);
        };
        row("BatteryVolts", "-20", "txtBattVadjusted", "12.5 Volts");
        row("BatteryCurrent", "0", "txtBattAadjusted", "2.5 Amps");
        row("Pulse2Divider", "x", "txtWindSpeed", "20 km/h");
    }
    void unusableDividerKeepsResult()
    {
        QFETCH(QString, box);
        QFETCH(QString, bad);
        QFETCH(QString, result);
        QFETCH(QString, kept);
        WindowRig rig;
        Calibrate d(files(rig));
        rig.link()->feed(frame);
        type(d, qPrintable(box), bad);
        rig.link()->feed("[<V>700</V><I>600</I><S>90</S>]");
        QCOMPARE(text(d, qPrintable(result)), kept);
    }

    // Zero takes the raw I as shown (0 before any frame); only Save writes it, in the
    // example's layout byte for byte, and then gives the port back.
    void zeroThenSave()
    {
        WindowRig rig;
        Calibrate d(files(rig));
        d.show();
        click(d, "Command2");
        QCOMPARE(text(d, "OffsetV"), QString("0"));
        rig.link()->feed("[<I>0.254</I>]");
        click(d, "Command2");
        QCOMPARE(text(d, "OffsetV"), QString("0.25"));
        QCOMPARE(rig.read("settings.cfg"), stored);
        rig.link()->feed("[<I>20.25</I>]");
        QCOMPARE(text(d, "txtBattAadjusted"), QString("1 Amps"));

        type(d, "BatteryVolts", "1.5");
        type(d, "PulseDivider", "14");
        click(d, "Command1");
        QCOMPARE(rig.read("settings.cfg"), settingsFile("1.5", "0.25", "20", "14", "2.5"));
        QVERIFY(rig.messages.asked.isEmpty());
        QVERIFY(!d.isVisible());
        QVERIFY(!rig.link()->isOpen());
    }

    // Every way out but Save leaves the file byte for byte and gives the port back.
    void leavingWithoutSave_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Exit button") << 0;
        QTest::newRow("title bar close") << 1;
        QTest::newRow("Escape") << 2;
    }
    void leavingWithoutSave()
    {
        QFETCH(int, how);
        WindowRig rig;
        Calibrate d(files(rig));
        d.show();
        rig.link()->feed(frame);
        click(d, "Command2");
        type(d, "BatteryVolts", "7");
        if (how == 0)
            click(d, "Command6");
        else if (how == 1)
            d.close();
        else
            QTest::keyClick(&d, Qt::Key_Escape);
        QVERIFY(!d.isVisible());
        QCOMPARE(rig.read("settings.cfg"), stored);
        QVERIFY(!rig.link()->isOpen());
    }

    // A divider that stops the main window's conversion is questioned, naming its step;
    // No keeps the dialog and the file, Yes writes it as typed.
    void confirmation_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("step"); // empty: no question
        const auto row = [](const char* name, const char* box, const char* value,
                            const char* step) { QTest::newRow(name) << box << value << step; };
        row("volts 0", "BatteryVolts", "0", "Step 1. Set Voltage");
        row("current 0", "BatteryCurrent", "0", "Step 2. Set Current");
        row("current letters", "BatteryCurrent", "x", "Step 2.");
        row("RPM -4", "PulseDivider", "-4", "Step 3. Set RPM");
        row("wind empty", "Pulse2Divider", "", "Step 4.");
        row("current -20 is fine", "BatteryCurrent", "-20", "");
    }
    void confirmation()
    {
        QFETCH(QString, box);
        QFETCH(QString, value);
        QFETCH(QString, step);
        for (const bool answer : {false, true}) {
            WindowRig rig;
            rig.messages.answer = answer;
            Calibrate d(files(rig));
            d.show();
            type(d, qPrintable(box), value);
            click(d, "Command1");
            const bool written = rig.read("settings.cfg") != stored;
            if (step.isEmpty()) {
                QVERIFY(rig.messages.asked.isEmpty() && written);
                continue;
            }
            QCOMPARE(rig.messages.asked.size(), 1);
            QVERIFY2(rig.messages.asked[0].contains(step), qPrintable(rig.messages.asked[0]));
            QCOMPARE(d.isVisible(), !answer);
            QCOMPARE(written, answer);
        }
    }

    // A damaged prog.cfg names only the keys this dialog reads; a settings file that cannot
    // be written is reported at Save, and the dialog, its entries and the port stay.
    void damagedFilesAndFailedSave()
    {
        WindowRig rig;
        rig.write("prog.cfg", "<Port>1</Port>");
        QVERIFY(QDir(rig.path("")).mkdir("settings.cfg"));
        Calibrate d(rig.services());
        d.show();
        const QString status = d.statusText();
        QVERIFY2(status.contains("WSUnits") && !status.contains("LogOn") &&
                     status.contains("settings.cfg"),
                 qPrintable(status));
        type(d, "BatteryVolts", "51");
        click(d, "Command1");
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(rig.messages.shown[0].contains("not saved"));
        QVERIFY(d.isVisible() && rig.link()->isOpen());
        QCOMPARE(text(d, "BatteryVolts"), QString("51"));
    }

    // A port that will not open leaves a working dialog, retried on the timer; a lost
    // device is reported and picked up again.
    void portTroubleIsReportedAndRetried()
    {
        WindowRig rig;
        rig.refuseOpen = true;
        Calibrate d(files(rig));
        MemorySerialLink* link = rig.link();
        QVERIFY(d.statusText().contains("Cannot open COM1"));
        QVERIFY(d.statusText().contains("Trying again every 5 seconds"));
        auto* retry = d.findChild<QTimer*>("PortRetry");
        link->refuseOpen = false;
        retry->setInterval(10);
        QTRY_VERIFY_WITH_TIMEOUT(link->isOpen(), 1000);
        QVERIFY(d.statusText().isEmpty());

        link->unplug();
        QVERIFY(d.statusText().contains("COM1: device disconnected"));
        QTRY_VERIFY_WITH_TIMEOUT(link->isOpen(), 1000);
        link->feed(frame);
        QCOMPARE(text(d, "txtBattV"), QString("625"));
    }
};

QTEST_MAIN(TestCalibrate)
#include "tst_calibrate.moc"
