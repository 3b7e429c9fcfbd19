#include "support/WindowRig.h"
#include "ui/ProgramSetup.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

// The layout spelled out here, not taken from the code under test.
QByteArray layout(const QString& port, const char* html, const char* excel, const QString& delay,
                  const char* logOn, const char* rpm, const char* ws, const QString& units)
{
    return "Program Config File\r\n\r\n<Port>" + port.toUtf8() + "</Port>\r\n<Savehtml>" + html +
           "</Savehtml>\r\n<SaveExcel>" + excel + "</SaveExcel>\r\n<LogDelay>" + delay.toUtf8() +
           "</LogDelay>\r\n<LogOn>" + logOn + "</LogOn>\r\n<DisplayRPM>" + rpm +
           "</DisplayRPM>\r\n<DisplayWS>" + ws + "</DisplayWS>\r\n<WSUnits>" + units.toUtf8() +
           "</WSUnits>\r\n\r\n";
}

const QByteArray stored = layout("1", "0", "1", "60", "0", "1", "1", "km/h");

QLineEdit* box(const ProgramSetup& d, const char* name)
{
    return d.findChild<QLineEdit*>(name);
}

void save(ProgramSetup& d)
{
    d.findChild<QPushButton*>("Command1")->click();
}

} // namespace

class TestProgramSetup : public QObject
{
    Q_OBJECT

private slots:
    // A bad port reaching the file or closing the dialog; other values trimmed or validated
    // on the way to the file.
    void savedAsTypedOrPortRefused_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("delay");
        QTest::addColumn<QString>("units");
        QTest::addColumn<bool>("refused");
        const auto row = [](const char* name, const QString& port, const char* delay,
                            const QString& units, bool refused) {
            QTest::newRow(name) << port << QString(delay) << units << refused;
        };
        row("port 0", "0", "30", "km/h", true);
        row("port 9", "9", "30", "km/h", true);
        row("port -1", "-1", "30", "km/h", true);
        row("unicode minus", QString::fromUtf8("\u22121"), "30", "km/h", true);
        row("port COM1", "COM1", "30", "km/h", true);
        row("port empty", "", "30", "km/h", true);
        row("port 0.99", "0.99", "30", "km/h", true);
        row("port 1", "1", "60", "km/h", false);
        row("port 8", "8", "60", "km/h", false);
        row("port with spaces", " 2 ", "60", "km/h", false);
        row("interval 5", "1", "5", "mph", false);
        row("interval 1000", "1", "1000", "m/s", false);
        row("interval abc", "1", "abc", "", false);
        row("non-ASCII unit", "3", "60", QString::fromUtf8("km/\u00e5"), false);
    }
    void savedAsTypedOrPortRefused()
    {
        QFETCH(QString, port);
        QFETCH(QString, delay);
        QFETCH(QString, units);
        QFETCH(bool, refused);
        WindowRig rig;
        rig.write("prog.cfg", stored);
        ProgramSetup d(rig.services());
        if (refused)
            d.show();
        QSignalSpy accepted(&d, &QDialog::accepted);
        box(d, "PortNumber")->setText(port);
        box(d, "LogDelay")->setText(delay);
        box(d, "WSUnits")->setText(units);
        save(d);
        QCOMPARE(rig.messages.shown,
                 refused ? QStringList{ProgramSetup::BadPortMessage} : QStringList());
        QCOMPARE(rig.read("prog.cfg"),
                 refused ? stored : layout(port, "0", "1", delay, "0", "1", "1", units));
        QCOMPARE(d.isVisible(), refused);
        QCOMPARE(accepted.count(), refused ? 0 : 1);
        QCOMPARE(box(d, "PortNumber")->text(), port);
    }

    // The save example byte for byte: a control wired to the wrong key or a flag written
    // as "true".
    void saveExampleByteForByte()
    {
        WindowRig rig;
        rig.write("prog.cfg", layout("5", "0", "1", "300", "1", "0", "0", "mph"));
        ProgramSetup d(rig.services());
        box(d, "PortNumber")->setText("2");
        for (const char* flag : {"Savehtml", "SaveExcel", "LogOn", "DisplayRPM", "DisplayWS"})
            d.findChild<QCheckBox*>(flag)->click();
        box(d, "LogDelay")->setText("60");
        box(d, "WSUnits")->setText("km/h");
        save(d);
        QCOMPARE(rig.read("prog.cfg"), layout("2", "1", "0", "60", "0", "1", "1", "km/h"));
    }

    // A stored 2 must survive an unrelated save, and a click must leave only 0 or 1.
    void greyedFlag_data()
    {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("untouched keeps 2") << 0 << QByteArray("2");
        QTest::newRow("one click ticks") << 1 << QByteArray("1");
        QTest::newRow("two clicks clear") << 2 << QByteArray("0");
        QTest::newRow("never greyed again") << 3 << QByteArray("1");
    }
    void greyedFlag()
    {
        QFETCH(int, clicks);
        QFETCH(QByteArray, written);
        WindowRig rig;
        rig.write("prog.cfg", layout("1", "0", "0", "60", "2", "1", "1", "km/h"));
        ProgramSetup d(rig.services());
        auto* logOn = d.findChild<QCheckBox*>("LogOn");
        QCOMPARE(logOn->checkState(), Qt::PartiallyChecked);
        for (int i = 0; i < clicks; ++i)
            logOn->click();
        save(d);
        QCOMPARE(rig.read("prog.cfg"), layout("1", "0", "0", "60", written, "1", "1", "km/h"));
    }

    // An unchanged save normalises any order and extra text into the exact layout.
    void unchangedSaveRewritesLayout()
    {
        WindowRig rig;
        rig.write("prog.cfg", "old notes\n<WSUnits>knots</WSUnits> x <DisplayWS>0</DisplayWS>"
                              "<DisplayRPM>1.0</DisplayRPM>\n<LogOn>0</LogOn><LogDelay>45"
                              "</LogDelay><SaveExcel>1</SaveExcel>\n<Savehtml>0</Savehtml>"
                              "<Port> 2 </Port> trailing");
        ProgramSetup d(rig.services());
        save(d);
        QCOMPARE(rig.read("prog.cfg"), layout(" 2 ", "0", "1", "45", "0", "1", "0", "knots"));
    }

    // Closing without Save must not touch the file, whatever was edited.
    void closingWithoutSaveKeepsFile()
    {
        WindowRig rig;
        rig.write("prog.cfg", stored);
        ProgramSetup d(rig.services());
        d.show();
        box(d, "PortNumber")->setText("3");
        d.findChild<QCheckBox*>("DisplayRPM")->click();
        d.close();
        QCOMPARE(rig.read("prog.cfg"), stored);
        QVERIFY(rig.messages.shown.isEmpty());
    }

    // A file that cannot be written is reported; the dialog and its entries stay.
    void failedSaveKeepsDialogOpen()
    {
        WindowRig rig;
        QVERIFY(QDir(rig.path("")).mkdir("prog.cfg"));
        ProgramSetup d(rig.services());
        d.show();
        QVERIFY(d.statusText().contains("prog.cfg"));
        box(d, "WSUnits")->setText("mph");
        save(d);
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(rig.messages.shown[0].contains("not saved"));
        QVERIFY(d.isVisible());
        QCOMPARE(box(d, "WSUnits")->text(), QString("mph"));
    }

    // The hint must follow the typed number and show a COM<N> link before the ttyS fallback.
    void portHintFollowsTyping()
    {
        WindowRig rig;
        rig.write("prog.cfg", stored);
        QVERIFY(QFile::link("/dev/null", rig.path("COM2")));
        ProgramSetup d(rig.services());
        auto* hint = d.findChild<QLabel*>("PortHint");
        QVERIFY(hint->text().contains("/dev/ttyS0"));
        QVERIFY(hint->text().contains("COM2 -> /dev/null"));
        box(d, "PortNumber")->setText("2");
        QVERIFY(hint->text().startsWith("Port 2 is COM2 -> /dev/null"));
        box(d, "PortNumber")->setText("COM1");
        QVERIFY(hint->text().startsWith("Type a port number"));
    }
};

QTEST_MAIN(TestProgramSetup)
#include "tst_programsetup.moc"
