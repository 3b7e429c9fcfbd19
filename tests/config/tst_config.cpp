#include "config/CalibrationSettings.h"
#include "config/ProgramConfig.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Other tools read these layouts byte for byte.
const QByteArray progExample = "Program Config File\r\n\r\n<Port>2</Port>\r\n"
                               "<Savehtml>1</Savehtml>\r\n<SaveExcel>0</SaveExcel>\r\n"
                               "<LogDelay>60</LogDelay>\r\n<LogOn>0</LogOn>\r\n"
                               "<DisplayRPM>1</DisplayRPM>\r\n<DisplayWS>1</DisplayWS>\r\n"
                               "<WSUnits>km/h</WSUnits>\r\n\r\n";
const QByteArray settingsExample =
    "Calibration Settings\r\n\r\n\r\n"
    "<VoltDivider>1.5</VoltDivider>\r\n<VoltOffset>0.25</VoltOffset>\r\n"
    "<AmpDivider>20</AmpDivider>\r\n<RPMDivider>14</RPMDivider>\r\n"
    "<WSDivider>2.5</WSDivider>\r\n";

// The old file is longer, so a save that does not replace it whole leaves a tail behind.
template <class Config> void saveAndReload(const Config& config, const QByteArray& expected)
{
    QTemporaryDir dir;
    writeBytes(Config::path(dir.path()), QByteArray(4096, 'x'));
    QCOMPARE(config.save(dir.path()), QString());
    QFile file(Config::path(dir.path()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
    ConfigReport report;
    QCOMPARE(Config::load(dir.path(), &report).fileText(), expected);
    QVERIFY2(report.clean(), qPrintable(report.describe()));
}

} // namespace

Q_DECLARE_METATYPE(ProgramConfig)

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void savesAreByteExactAndReadBack()
    {
        saveAndReload(ProgramConfig{"2", "1", "0", "60", "0", "1", "1", "km/h"}, progExample);
        if (!QTest::currentTestFailed())
            saveAndReload(CalibrationSettings{"1.5", "0.25", "20", "14", "2.5"}, settingsExample);
    }

    // Ports and flags are numbers in text: halves go to even, and only the number 1 is on.
    void numericTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port"); // -1: no port
        QTest::addColumn<bool>("on");
        QTest::newRow("2.5") << "2.5" << 2 << false;
        QTest::newRow("3.5") << "3.5" << 4 << false;
        QTest::newRow("1.0 in blanks") << " 1.0 " << 1 << true;
        QTest::newRow("COM1") << "COM1" << -1 << false;
        QTest::newRow("too large") << "70000" << -1 << false;
    }
    void numericTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        QFETCH(bool, on);
        const auto number = ProgramConfig{text, {}, {}, {}, {}, {}, {}, {}}.portNumber();
        QCOMPARE(number ? int(*number) : -1, port);
        QCOMPARE(ProgramConfig::isOn(text), on);
    }

    // Hand-edited files load clean: tags moved, notes around them, other capitals, the first of
    // two pairs, values not trimmed, single-byte text from older installations. A broken file
    // is named, falls back per key, and is not written back for the user.
    void load_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::addColumn<QString>("said");
        QTest::addColumn<ProgramConfig>("loaded");
        const ProgramConfig port1{"1", "1", "0", "60", "0", "1", "1", "km/h"};
        QTest::newRow("hand-edited")
            << QByteArray("notes first\n<WSUnits>m\xb5/s</WSUnits><DisplayWS>0</DisplayWS>\n"
                          "<DisplayRPM>1.0</DisplayRPM> <LogOn>1</LogOn><LogDelay>abc</LogDelay>"
                          "<SaveExcel>1</SaveExcel>\n<Savehtml>0</Savehtml><port>9</port>"
                          "<Port> 3.5</Port><Port>7</Port>\ntrailing")
            << "" << ProgramConfig{" 3.5", "0", "1", "abc", "1", "1.0", "0", "m\u00b5/s"};
        QTest::newRow("no file") << QByteArray() << "prog.cfg: file not found"
                                 << ProgramConfig{"1", "0", "0", "60", "0", "1", "1", "km/h"};
        // The closing tag is searched from the start too, so one standing first hides the pair.
        QTest::newRow("closing tag first")
            << "</Port>" + progExample << "prog.cfg: missing Port (defaults used)" << port1;
        QTest::newRow("not a number") << QByteArray(progExample).replace("<LogOn>0<", "<LogOn>X<")
                                      << "prog.cfg: not a number: LogOn (defaults used)"
                                      << ProgramConfig{"2", "1", "0", "60", "0", "1", "1", "km/h"};
        // A port that is not a number stays as typed, for the setup dialog to show.
        QTest::newRow("port not a number")
            << QByteArray(progExample).replace("<Port>2<", "<Port>COM2<") << ""
            << ProgramConfig{"COM2", "1", "0", "60", "0", "1", "1", "km/h"};
    }
    void load()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, said);
        QFETCH(ProgramConfig, loaded);
        QTemporaryDir dir;
        if (!bytes.isEmpty())
            writeBytes(ProgramConfig::path(dir.path()), bytes);
        ConfigReport report;
        QCOMPARE(ProgramConfig::load(dir.path(), &report).fileText(), loaded.fileText());
        QCOMPARE(report.describe(), said);
        QCOMPARE(QFile::exists(ProgramConfig::path(dir.path())), !bytes.isEmpty());
    }

    void saveIntoMissingFolderSaysSo()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath("gone");
        QCOMPARE(ProgramConfig::defaults().save(missing),
                 QString("folder %1 is missing").arg(missing));
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
