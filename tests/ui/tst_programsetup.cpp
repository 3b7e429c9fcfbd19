#include "support/WindowRig.h"
#include "ui/ProgramSetup.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

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

} // namespace

class TestProgramSetup : public QObject
{
    Q_OBJECT

private slots:
    // A bad port reaching the file or closing the dialog, the other values not saved as
    // typed, or closing without Save touching the file. Each flag must reach its own key as 0
    // or 1, never "true"; a stored 2 (shown greyed) survives a save, and once clicked never
    // comes back.
    void savedRefusedOrClosed_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QByteArrayList>("flags"); // digits as stored, clicks, digits as saved
        QTest::addColumn<QString>("outcome");
        const auto row = [](const char* name, const char* port, const QByteArrayList& flags,
                            const char* outcome) {
            QTest::newRow(name) << QString(port) << flags << QString(outcome);
        };
        const QByteArrayList same = {"01011", "00000", "01011"};
        for (const char* port : {"0", "9", "COM1", "0.99"})
            row(port, port, same, "refused");
        for (const char* port : {"1", "8", " 2 "})
            row(port, port, same, "saved");
        row("3", "3", same, "closed");
        row("flags untouched", "1", {"01210", "00000", "01210"}, "saved");
        row("flags clicked", "1", {"11222", "11213", "00011"}, "saved");
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
        for (int i = 0; i < 5; ++i) {
            for (int n = flags[1][i] - '0'; n > 0; --n)
                d.findChild<QCheckBox*>(flagNames[i])->click();
        }
        d.findChild<QLineEdit*>("PortNumber")->setText(port);
        d.findChild<QLineEdit*>("LogDelay")->setText("abc");
        d.findChild<QLineEdit*>("WSUnits")->setText(units);
        if (outcome == "closed")
            d.close();
        else
            d.findChild<QPushButton*>("Command1")->click();
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
        d.findChild<QPushButton*>("Command1")->click();
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(rig.messages.shown[0].contains("not saved"));
        QVERIFY(d.isVisible());
        QCOMPARE(d.findChild<QLineEdit*>("PortNumber")->text(), QString("2"));
    }
};

QTEST_MAIN(TestProgramSetup)
#include "tst_programsetup.moc"
