#include "config/ProgramConfig.h"

#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(ProgramConfig)

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
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
        const auto row = [](const char* name, const QByteArray& bytes, const char* said,
                            const ProgramConfig& loaded) {
            QTest::newRow(name) << bytes << QString(said) << loaded;
        };
        const ProgramConfig saved{"2", "1", "0", "60", "0", "1", "1", "km/h"};
        row("hand-edited",
            "notes first\n<WSUnits>m\xb5/s</WSUnits><DisplayWS>0</DisplayWS>\n<DisplayRPM>1.0"
            "</DisplayRPM> <LogOn>1</LogOn><LogDelay>abc</LogDelay><SaveExcel>1</SaveExcel>\n"
            "<Savehtml>0</Savehtml><port>9</port><Port> 3.5</Port><Port>7</Port>\ntrailing",
            "", {" 3.5", "0", "1", "abc", "1", "1.0", "0", "m\u00b5/s"});
        row("no file", {}, "prog.cfg: file not found",
            {"1", "0", "0", "60", "0", "1", "1", "km/h"});
        // The closing tag is searched from the start too, so one standing first hides the pair.
        row("closing tag first", "</Port>" + saved.fileText(),
            "prog.cfg: missing Port (defaults used)", {"1", "1", "0", "60", "0", "1", "1", "km/h"});
        row("not a number", saved.fileText().replace("<LogOn>0<", "<LogOn>X<"),
            "prog.cfg: not a number: LogOn (defaults used)", saved);
    }
    void load()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, said);
        QFETCH(ProgramConfig, loaded);
        QTemporaryDir dir;
        QFile file(ProgramConfig::path(dir.path()));
        QVERIFY(bytes.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(bytes)));
        file.close();
        ConfigReport report;
        QCOMPARE(ProgramConfig::load(dir.path(), &report).fileText(), loaded.fileText());
        QCOMPARE(report.describe(), said);
        QCOMPARE(QFile::exists(ProgramConfig::path(dir.path())), !bytes.isEmpty());
    }

    void saveIntoMissingFolderSaysSo()
    {
        const QString missing = QTemporaryDir().path(); // removed again at once
        QCOMPARE(ProgramConfig::defaults().save(missing), "folder " + missing + " is missing");
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
