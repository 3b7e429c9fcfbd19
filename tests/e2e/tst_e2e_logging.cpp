#include "support/E2eRig.h"
#include "config/CalibrationSettings.h"
#include "config/ProgramConfig.h"
#include "logging/LogRecord.h"

#include <QtTest>

class TestEndToEndLogging : public QObject
{
    Q_OBJECT

private slots:
    // With automatic start at 10 s, the first record must hold the peaks of what the device
    // sent, and the web page and spreadsheet must be written beside it.
    void firstRecordHoldsThePeaksSent()
    {
        E2eRig rig;
        QVERIFY2(rig.ok(), qPrintable(rig.error()));
        ProgramConfig program = ProgramConfig::defaults();
        program.LogOn = "1";
        program.LogDelay = "10";
        program.Savehtml = "1";
        program.SaveExcel = "1";
        rig.write("prog.cfg", program.fileText());
        rig.write("settings.cfg", CalibrationSettings::defaults().fileText());

        // Ordinary frames with a peak late enough that the program has the port by then, and
        // all sent well inside the first 10-second interval. The peak comes five times: a
        // read that joins the end of one frame to the start of the next loses the latter.
        // The load switches on with the peak, so the record's mode must be 1.
        const QByteArray low = "[<V>640</V><I>560</I><R>16</R><S>40</S><M>";
        const QByteArray peak = "[<V>700</V><I>700</I><R>30</R><S>80</S><M>1</M>]";
        QByteArray replay;
        for (int i = 0; i < 60; ++i)
            replay += (i >= 40 && i < 45 ? peak : low + (i >= 45 ? "1" : "0") + "</M>]") +
                      "\r\n";
        rig.write("frames.txt", replay);
        QVERIFY(rig.startSim({"--replay", rig.path("frames.txt"), "--interval-ms", "150",
                              "--print"}));
        QVERIFY(rig.startProgram());

        const QString day = DayStamp(QDate::currentDate());
        const QString log = rig.path("logs/" + day + ".txt");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(log).size() > 0, 25000);
        QVERIFY(rig.simOutput().contains(peak));

        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QCOMPARE(text.count("\r\n"), 1);
        // 14 V, (700 - 512) / 20 = 9.4 A, 131.6 W, 30 / 4 * 60 = 450 RPM, 80 / 2.5 = 32 km/h.
        QVERIFY2(text.startsWith("<V>14</V><I>9.4</I><W>131.6</W><R>450</R><S>32</S><M>1</M><T>"),
                 text.constData());
        QVERIFY(QRegularExpression("<T>\\d\\d:\\d\\d</T>\r\n$").match(QString::fromLatin1(text))
                    .hasMatch());

        QFile page(rig.path("html/log.asp"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        for (const char* placeholder : {"<VV>", "<II>", "<WW>", "<WH>", "<RR>", "<SS>", "<TT>",
                                        "<MM>"})
            QVERIFY2(!html.contains(placeholder), placeholder);
        QVERIFY(html.contains("131.6") && html.contains("Load On") && html.endsWith("\r\n"));

        QFile sheet(rig.path("Excel/" + day + ".xls"));
        QVERIFY(sheet.open(QIODevice::ReadOnly));
        const QByteArray table = sheet.readAll();
        QVERIFY(table.startsWith("<html><body><table><tr><td><b>Volts</b></td>"));
        QVERIFY(table.contains("\r\n\r\n<tr><td>14</td><td>9.4</td><td>131.6</td><td>450</td>"
                               "<td>32</td><td>Load On</td><td>"));
    }
};

QTEST_GUILESS_MAIN(TestEndToEndLogging)
#include "tst_e2e_logging.moc"
