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

void writeFiles(WindowRig& rig, const QByteArray& settings = stored, const char* units = "km/h")
{
    rig.write("prog.cfg", QByteArray("<Port>1</Port><WSUnits>") + units + "</WSUnits>");
    rig.write("settings.cfg", settings);
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
    // Dividers show in shortest form except the wind one, which keeps its stored text.
    void openFillsFromFiles()
    {
        WindowRig rig;
        writeFiles(rig, settingsFile("50.0", "0.250", "-20", "14.0", "2.50"), "");
        Calibrate d(rig.services());
        const QStringList filled = {text(d, "BatteryVolts"), text(d, "BatteryCurrent"),
                                    text(d, "OffsetV"), text(d, "PulseDivider"),
                                    text(d, "Pulse2Divider"), text(d, "Label23")};
        QCOMPARE(filled, (QStringList{"50", "-20", "0.25", "14", "2.50", "How many pulses per ?"}));
        QVERIFY(rig.link()->isOpen());
        QVERIFY(d.statusText().isEmpty());
    }

    // Only a buffer holding both brackets is a frame; all of it is used once, then dropped.
    void framesSplitOrDoubled()
    {
        WindowRig rig;
        writeFiles(rig);
        Calibrate d(rig.services());
        rig.link()->feed(frame.left(12));
        rig.link()->feed(frame.mid(12, 20));
        QCOMPARE(text(d, "txtBattV"), QString("0"));
        rig.link()->feed(frame.mid(32));
        QCOMPARE(text(d, "txtBattVadjusted"), QString("12.5 Volts"));

        // Two frames in one read: the first of each tag wins, and the tail goes too.
        rig.link()->feed("[<V>600</V><R>8</R>][<V>700</V><I>100</I><R>9</R>]<V>1");
        QCOMPARE(text(d, "txtBattV") + text(d, "txtShuntV") + text(d, "txtPulsess"),
                 QString("6001008"));
        // The "]" ending one frame and the "[" starting the next make a frame together.
        rig.link()->feed("<V>650</V>]");
        QCOMPARE(text(d, "txtBattV"), QString("600"));
        rig.link()->feed("[");
        QCOMPARE(text(d, "txtBattV"), QString("650"));
    }

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
        row("volts divider -20", settingsFile("-20", "512", "20", "4", "2.5"), frame,
            "625|562|10|150 RPM|50|20 km/h||2.5 Amps");
        // Unlike the main window, a bad I counts 0 here rather than keeping the last one.
        row("not numbers count 0", stored, "[<V>x</V><I></I><R>1,5</R><S> 7 </S>]",
            "0|0|0|0 RPM| 7 |2.8 km/h|0 Volts|-25.6 Amps");
        row("halves to even", settingsFile("1", "0", "1", "4", "2.5"),
            "[<V>0.125</V><I>0.375</I>]", "0.12|0.38||0 RPM||0 km/h|0.12 Volts|0.38 Amps");
    }
    // Each sum uses the divider as typed and skips an unusable one the documented way.
    void readout()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, received);
        QFETCH(QString, expected);
        WindowRig rig;
        writeFiles(rig, settings);
        Calibrate d(rig.services());
        rig.link()->feed(received);
        QStringList shown;
        for (const char* name : {"txtBattV", "txtShuntV", "txtPulsess", "txtWindmillRPM",
                                 "txtPulsess2", "txtWindSpeed", "txtBattVadjusted",
                                 "txtBattAadjusted"})
            shown << text(d, name);
        QCOMPARE(shown.join('|'), expected);
    }

    void unusableDividerKeepsResult_data()
    {
        QTest::addColumn<QByteArray>("box");
        QTest::addColumn<QString>("bad");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QString>("kept");
        QTest::newRow("volts -20") << QByteArray("BatteryVolts") << "-20"
                                   << QByteArray("txtBattVadjusted") << "12.5 Volts";
        QTest::newRow("current 0") << QByteArray("BatteryCurrent") << "0"
                                   << QByteArray("txtBattAadjusted") << "2.5 Amps";
        QTest::newRow("wind letters") << QByteArray("Pulse2Divider") << "x"
                                      << QByteArray("txtWindSpeed") << "20 km/h";
    }
    // Typing an unusable divider must freeze the result, not blank or zero it.
    void unusableDividerKeepsResult()
    {
        QFETCH(QByteArray, box);
        QFETCH(QString, bad);
        QFETCH(QByteArray, result);
        QFETCH(QString, kept);
        WindowRig rig;
        writeFiles(rig);
        Calibrate d(rig.services());
        rig.link()->feed(frame);
        type(d, box, bad);
        rig.link()->feed("[<V>700</V><I>600</I><S>90</S>]");
        QCOMPARE(text(d, result), kept);
    }

    // Zero takes the raw I as shown (0 before any frame); only Save writes it, in the
    // example's layout byte for byte, and then gives the port back.
    void zeroThenSave()
    {
        WindowRig rig;
        writeFiles(rig);
        Calibrate d(rig.services());
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
        QCOMPARE(rig.read("settings.cfg"), QByteArray("Calibration Settings\r\n\r\n\r\n"
                                                      "<VoltDivider>1.5</VoltDivider>\r\n"
                                                      "<VoltOffset>0.25</VoltOffset>\r\n"
                                                      "<AmpDivider>20</AmpDivider>\r\n"
                                                      "<RPMDivider>14</RPMDivider>\r\n"
                                                      "<WSDivider>2.5</WSDivider>\r\n"));
        QVERIFY(rig.messages.asked.isEmpty());
        QVERIFY(!d.isVisible());
        QVERIFY(!rig.link()->isOpen());
    }

    void leavingWithoutSave_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Exit button") << 0;
        QTest::newRow("title bar close") << 1;
        QTest::newRow("Escape") << 2;
    }
    // Every way out but Save leaves the file byte for byte and gives the port back.
    void leavingWithoutSave()
    {
        QFETCH(int, how);
        WindowRig rig;
        writeFiles(rig);
        Calibrate d(rig.services());
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

    void confirmation_data()
    {
        QTest::addColumn<QByteArray>("box");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("step");
        QTest::newRow("volts 0") << QByteArray("BatteryVolts") << "0" << "Step 1. Set Voltage";
        QTest::newRow("current 0") << QByteArray("BatteryCurrent") << "0" << "Step 2. Set Current";
        QTest::newRow("current letters") << QByteArray("BatteryCurrent") << "x" << "Step 2.";
        QTest::newRow("RPM -4") << QByteArray("PulseDivider") << "-4" << "Step 3. Set RPM";
        QTest::newRow("wind empty") << QByteArray("Pulse2Divider") << "" << "Step 4.";
        QTest::newRow("current -20 is fine") << QByteArray("BatteryCurrent") << "-20" << "";
    }
    // A divider that stops the main window's conversion is questioned, naming its step;
    // No keeps the dialog and the file, Yes writes it as typed.
    void confirmation()
    {
        QFETCH(QByteArray, box);
        QFETCH(QString, value);
        QFETCH(QString, step);
        for (const bool answer : {false, true}) {
            WindowRig rig;
            writeFiles(rig);
            rig.messages.answer = answer;
            Calibrate d(rig.services());
            d.show();
            type(d, box, value);
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

    // A file that cannot be written is reported; the dialog, entries and port stay.
    void failedSaveKeepsDialogOpen()
    {
        WindowRig rig;
        writeFiles(rig);
        QFile::remove(rig.path("settings.cfg"));
        QVERIFY(QDir(rig.path("")).mkdir("settings.cfg"));
        Calibrate d(rig.services());
        d.show();
        QVERIFY(d.statusText().contains("settings.cfg"));
        type(d, "BatteryVolts", "51");
        click(d, "Command1");
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(rig.messages.shown[0].contains("not saved"));
        QVERIFY(d.isVisible() && rig.link()->isOpen());
        QCOMPARE(text(d, "BatteryVolts"), QString("51"));
    }

    // Only the keys this dialog reads are named; the rest of prog.cfg is not its business.
    void missingKeysAreNamed()
    {
        WindowRig rig;
        rig.write("prog.cfg", "<Port>1</Port>");
        rig.write("settings.cfg", "<VoltDivider>50</VoltDivider><VoltOffset>x</VoltOffset>");
        Calibrate d(rig.services());
        const QString status = d.statusText();
        QVERIFY2(status.contains("WSUnits") && !status.contains("LogOn") &&
                     status.contains("AmpDivider") && status.contains("VoltOffset"),
                 qPrintable(status));
    }

    // A port that will not open leaves a working dialog, retried on the timer; a lost
    // device is reported and picked up again.
    void portTroubleIsReportedAndRetried()
    {
        WindowRig rig;
        writeFiles(rig);
        rig.refuseOpen = true;
        Calibrate d(rig.services());
        MemorySerialLink* link = rig.link();
        QVERIFY(d.statusText().contains("Cannot open COM1"));
        QVERIFY(d.statusText().contains("Trying again every 5 seconds"));
        auto* retry = d.findChild<QTimer*>("PortRetry");
        QCOMPARE(retry->interval(), Calibrate::PortRetryMs);
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
