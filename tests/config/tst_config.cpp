#include "config/CalibrationSettings.h"
#include "config/ProgramConfig.h"
#include "config/TagValue.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QByteArray progExample = "Program Config File\r\n\r\n"
                               "<Port>2</Port>\r\n"
                               "<Savehtml>1</Savehtml>\r\n"
                               "<SaveExcel>0</SaveExcel>\r\n"
                               "<LogDelay>60</LogDelay>\r\n"
                               "<LogOn>0</LogOn>\r\n"
                               "<DisplayRPM>1</DisplayRPM>\r\n"
                               "<DisplayWS>1</DisplayWS>\r\n"
                               "<WSUnits>km/h</WSUnits>\r\n"
                               "\r\n";

const QByteArray settingsExample = "Calibration Settings\r\n\r\n\r\n"
                                   "<VoltDivider>1.5</VoltDivider>\r\n"
                                   "<VoltOffset>0.25</VoltOffset>\r\n"
                                   "<AmpDivider>20</AmpDivider>\r\n"
                                   "<RPMDivider>14</RPMDivider>\r\n"
                                   "<WSDivider>2.5</WSDivider>\r\n";

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void tagValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "<Port>2</Port>" << "Port" << true << "2";
        QTest::newRow("spaces kept") << "<Port> 2 </Port>" << "Port" << true << " 2 ";
        QTest::newRow("line break kept") << "<Port>2\r\n</Port>" << "Port" << true << "2\r\n";
        QTest::newRow("empty value") << "<Port></Port>" << "Port" << true << "";
        QTest::newRow("first pair wins") << "<Port>1</Port><Port>2</Port>" << "Port" << true
                                         << "1";
        QTest::newRow("text around") << "x<a>y<Port>3</Port>z" << "Port" << true << "3";
        QTest::newRow("other capitals") << "<port>2</port>" << "Port" << false << "";
        QTest::newRow("no opening tag") << "2</Port>" << "Port" << false << "";
        QTest::newRow("no closing tag") << "<Port>2" << "Port" << false << "";
        // The closing tag is searched from the start too, so it can stand first.
        QTest::newRow("closing first") << "</Port>x<Port>2" << "Port" << false << "";
        QTest::newRow("longer key is other key") << "<PortX>5</PortX>" << "Port" << false << "";
    }
    void tagValue()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(bool, found);
        QFETCH(QString, value);
        const auto result = TagValue(text, key);
        QCOMPARE(result.has_value(), found);
        if (found)
            QCOMPARE(*result, value);
    }

    // The setup dialog's save of port 2, web page on, spreadsheet off, 60 s, no automatic
    // start, RPM and wind shown in km/h: other tools read this layout byte for byte.
    void programSaveIsByteExactAndReadsBack()
    {
        QTemporaryDir dir;
        ProgramConfig c;
        c.Port = "2";
        c.Savehtml = "1";
        c.SaveExcel = "0";
        c.LogDelay = "60";
        c.LogOn = "0";
        c.DisplayRPM = "1";
        c.DisplayWS = "1";
        c.WSUnits = "km/h";
        QCOMPARE(c.save(dir.path()), QString());
        QCOMPARE(readBytes(ProgramConfig::path(dir.path())), progExample);

        ConfigReport report;
        const ProgramConfig back = ProgramConfig::load(dir.path(), &report);
        QVERIFY2(report.clean(), qPrintable(report.describe()));
        QCOMPARE(back.fileText(), progExample);
    }

    void calibrationSaveIsByteExactAndReadsBack()
    {
        QTemporaryDir dir;
        CalibrationSettings s;
        s.VoltDivider = "1.5";
        s.VoltOffset = "0.25";
        s.AmpDivider = "20";
        s.RPMDivider = "14";
        s.WSDivider = "2.5";
        QCOMPARE(s.save(dir.path()), QString());
        QCOMPARE(readBytes(CalibrationSettings::path(dir.path())), settingsExample);

        ConfigReport report;
        const CalibrationSettings back = CalibrationSettings::load(dir.path(), &report);
        QVERIFY(report.clean());
        QCOMPARE(back.VoltDivider, QString("1.5"));
        QCOMPARE(back.VoltOffset, QString("0.25"));
        QCOMPARE(back.AmpDivider, QString("20"));
        QCOMPARE(back.RPMDivider, QString("14"));
        QCOMPARE(back.WSDivider, QString("2.5"));
    }

    // Readers find tags anywhere, so hand-edited files with moved lines and notes still work.
    void readsTagsInAnyOrderAmongOtherText()
    {
        QTemporaryDir dir;
        writeBytes(ProgramConfig::path(dir.path()),
                   "notes first\n<WSUnits>mph</WSUnits><DisplayWS>0</DisplayWS>\n"
                   "<DisplayRPM>1.0</DisplayRPM> <LogOn>1</LogOn><LogDelay>abc</LogDelay>"
                   "<SaveExcel>1</SaveExcel>\n<Savehtml>0</Savehtml><Port> 3.5</Port>"
                   "<Port>7</Port>\ntrailing");
        ConfigReport report;
        const ProgramConfig c = ProgramConfig::load(dir.path(), &report);
        QVERIFY2(report.clean(), qPrintable(report.describe()));
        QCOMPARE(c.Port, QString(" 3.5"));
        QCOMPARE(int(*c.portNumber()), 4);
        QCOMPARE(c.LogDelay, QString("abc"));
        QCOMPARE(c.WSUnits, QString("mph"));
        QVERIFY(ProgramConfig::isOn(c.DisplayRPM));
        QVERIFY(!ProgramConfig::isOn(c.DisplayWS));
        QVERIFY(ProgramConfig::isOn(c.LogOn));
    }

    void portNumbersRoundHalfToEven_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port"); // -1: no port
        QTest::newRow("2.5") << "2.5" << 2;
        QTest::newRow("3.5") << "3.5" << 4;
        QTest::newRow("leading space") << " 2" << 2;
        QTest::newRow("COM1") << "COM1" << -1;
        QTest::newRow("too large") << "70000" << -1;
    }
    void portNumbersRoundHalfToEven()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        ProgramConfig c;
        c.Port = text;
        QCOMPARE(c.portNumber() ? int(*c.portNumber()) : -1, port);
    }

    // A broken file must name what is wrong and fall back per key, never stop the program.
    void damagedFilesReportKeysAndUseDefaults_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::addColumn<QStringList>("missing");
        QTest::addColumn<QStringList>("damaged");
        const QStringList all = {"Port",  "Savehtml",   "SaveExcel", "LogDelay",
                                 "LogOn", "DisplayRPM", "DisplayWS", "WSUnits"};
        QTest::newRow("no file") << QByteArray() << all << QStringList();
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe<Po", 6) << all
                                        << QStringList();
        QTest::newRow("tag cut off") << QByteArray(progExample).replace("</WSUnits>", "")
                                     << QStringList{"WSUnits"} << QStringList();
        QTest::newRow("flag not a number")
            << QByteArray(progExample).replace("<LogOn>0<", "<LogOn>yes<") << QStringList()
            << QStringList{"LogOn"};
        QTest::newRow("port not a number")
            << QByteArray(progExample).replace("<Port>2<", "<Port>COM2<") << QStringList()
            << QStringList{"Port"};
    }
    void damagedFilesReportKeysAndUseDefaults()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, missing);
        QFETCH(QStringList, damaged);
        QTemporaryDir dir;
        if (!bytes.isEmpty())
            writeBytes(ProgramConfig::path(dir.path()), bytes);
        ConfigReport report;
        const ProgramConfig c = ProgramConfig::load(dir.path(), &report);
        QCOMPARE(report.missingKeys, missing);
        QCOMPARE(report.damagedKeys, damaged);
        QVERIFY(report.describe().contains("prog.cfg"));
        const ProgramConfig d = ProgramConfig::defaults();
        if (missing.contains("WSUnits"))
            QCOMPARE(c.WSUnits, d.WSUnits);
        if (damaged.contains("LogOn"))
            QCOMPARE(c.LogOn, d.LogOn);
        if (damaged.contains("Port"))
            QCOMPARE(c.Port, d.Port);
        // Nothing is written back on the user's behalf.
        QCOMPARE(QFile::exists(ProgramConfig::path(dir.path())), !bytes.isEmpty());
    }

    // Files from older single-byte installations keep their unit text.
    void latin1FileKeepsUnitText()
    {
        QTemporaryDir dir;
        writeBytes(ProgramConfig::path(dir.path()), "<WSUnits>m\xb5/s</WSUnits>");
        const ProgramConfig c = ProgramConfig::load(dir.path());
        QCOMPARE(c.WSUnits, QString::fromUtf8("m\u00b5/s"));
    }

    void saveIntoMissingFolderSaysSo()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath("gone");
        const QString reason = ProgramConfig::defaults().save(missing);
        QVERIFY(reason.contains("missing"));
        QVERIFY(!QFile::exists(ProgramConfig::path(missing)));
    }

    // A save replaces the whole file, so a longer old file leaves no tail behind.
    void saveReplacesLongerFile()
    {
        QTemporaryDir dir;
        writeBytes(CalibrationSettings::path(dir.path()), QByteArray(4096, 'x'));
        QCOMPARE(CalibrationSettings::defaults().save(dir.path()), QString());
        QCOMPARE(readBytes(CalibrationSettings::path(dir.path())),
                 CalibrationSettings::defaults().fileText());
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
