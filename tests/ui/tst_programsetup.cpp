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
QByteArray layout(const QString& port, const char* f, const QString& delay, const QString& units)
{
    const auto flag = [f](int i) { return QByteArray(1, f[i]); };
    return "Program Config File\r\n\r\n<Port>" + port.toUtf8() + "</Port>\r\n<Savehtml>" + flag(0) +
           "</Savehtml>\r\n<SaveExcel>" + flag(1) + "</SaveExcel>\r\n<LogDelay>" + delay.toUtf8() +
           "</LogDelay>\r\n<LogOn>" + flag(2) + "</LogOn>\r\n<DisplayRPM>" + flag(3) +
           "</DisplayRPM>\r\n<DisplayWS>" + flag(4) + "</DisplayWS>\r\n<WSUnits>" + units.toUtf8() +
           "</WSUnits>\r\n\r\n";
}

// DisplayRPM as 1.0, which counts as on and is saved as 1.
const QByteArray stored =
    layout("1", "01011", "60", "km/h").replace("<DisplayRPM>1<", "<DisplayRPM>1.0<");
const char* const flagNames[] = {"Savehtml", "SaveExcel", "LogOn", "DisplayRPM", "DisplayWS"};

} // namespace

class TestProgramSetup : public QObject
{
    Q_OBJECT

private slots:
    // A bad port reaching the file or closing the dialog, the other values not saved as
    // typed, or closing without Save touching the file.
    void savedRefusedOrClosed_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("outcome");
        const auto row = [](const char* port, const char* outcome) {
            QTest::newRow(port) << QString(port) << QString(outcome);
        };
        row("0", "refused");
        row("9", "refused");
        row("COM1", "refused");
        row("0.99", "refused");
        row("1", "saved");
        row("8", "saved");
        row(" 2 ", "saved");
        row("3", "closed");
    }
    void savedRefusedOrClosed()
    {
        QFETCH(QString, port);
        QFETCH(QString, outcome);
        const QString units = QString::fromUtf8("km/\u00e5");
        WindowRig rig;
        rig.write("prog.cfg", stored);
        ProgramSetup d(rig.services());
        d.show();
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
                 outcome == "saved" ? layout(port, "01011", "abc", units) : stored);
        QCOMPARE(d.isVisible(), refused);
        QCOMPARE(d.findChild<QLineEdit*>("PortNumber")->text(), port);
    }

    // Each flag must reach its own key as 0 or 1, never "true"; a stored 2 (shown greyed)
    // survives an unrelated save, and once clicked never comes back.
    void flags_data()
    {
        // Digits per flag, Savehtml to DisplayWS: as stored, clicks, as saved.
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("clicks");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char* name, const char* before, const char* clicks,
                            const char* after) {
            QTest::newRow(name) << QByteArray(before) << QByteArray(clicks) << QByteArray(after);
        };
        row("untouched", "01210", "00000", "01210");
        row("clicked", "11222", "11213", "00011");
    }
    void flags()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, clicks);
        QFETCH(QByteArray, after);
        WindowRig rig;
        rig.write("prog.cfg", layout("1", before.constData(), "60", "km/h"));
        ProgramSetup d(rig.services());
        for (int i = 0; i < 5; ++i) {
            for (int n = clicks[i] - '0'; n > 0; --n)
                d.findChild<QCheckBox*>(flagNames[i])->click();
        }
        d.findChild<QPushButton*>("Command1")->click();
        QCOMPARE(rig.read("prog.cfg"), layout("1", after.constData(), "60", "km/h"));
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
