#include "logging/LogRecord.h"
#include "logging/LogWriter.h"
#include "logging/OutputBacklog.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Reading volts(double value)
{
    Reading r;
    r.PeakVolts = value;
    return r;
}

} // namespace

// The records a tick could not write wait in the backlog; what the real program shows of it
// is tested end to end, the cases that need a settable clock here.
class TestFaultBacklog : public QObject
{
    Q_OBJECT

private slots:
    // Held records must reach their own day's file after midnight, in order, and a held
    // spreadsheet row must not bring a second header with it.
    void heldRecordsReachTheirDayAfterMidnight()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("html");
        ProgramConfig config = ProgramConfig::defaults();
        config.SaveExcel = "1";
        OutputBacklog backlog;
        const QDate day(2010, 3, 27);
        const auto tick = [&](double value, const QDateTime& when) {
            return LogWriter::writeTick(dir.path(), volts(value), config, when, QLocale::c(),
                                        &backlog);
        };

        QVERIFY(!tick(11, {day, QTime(23, 59, 40)}).ok());
        const LogWriter::Result held = tick(12, {day, QTime(23, 59, 50)});
        QCOMPARE(held.failures.size(), 2); // each file named once, not once per held line
        QVERIFY(held.describe().endsWith("(records kept until they can be written)"));
        QVERIFY(QDir(dir.path()).mkdir("logs") && QDir(dir.path()).mkdir("Excel"));
        QVERIFY(tick(13, {day.addDays(1), QTime(0, 0, 0)}).ok());
        QVERIFY(backlog.isEmpty());

        QCOMPARE(readFile(dir.filePath("logs/2010_3_27.txt")),
                 LogRecord(volts(11), QTime(23, 59)) + LogRecord(volts(12), QTime(23, 59)));
        QCOMPARE(readFile(dir.filePath("logs/2010_3_28.txt")), LogRecord(volts(13), QTime(0, 0)));
        const QByteArray sheet = readFile(dir.filePath("Excel/2010_3_27.xls"));
        QCOMPARE(sheet.count("<b>Volts</b>"), 1);
        QVERIFY(sheet.indexOf("<td>11</td>") < sheet.indexOf("<td>12</td>"));
        QCOMPARE(readFile(dir.filePath("Excel/2010_3_28.xls")).count("<b>Volts</b>"), 1);
    }

    // A fault that never clears must cost bounded memory, dropping the oldest lines and
    // saying so, while the newest still reach the file once it can be written.
    void backlogIsBounded()
    {
        QTemporaryDir dir;
        const OutputFile file(dir.path(), "logs/day.txt");
        OutputBacklog backlog;
        QList<OutputFailure> failures;
        const QByteArray line(64 * 1024, 'x');
        const int lines = int(OutputBacklog::Cap / line.size()) + 10;
        for (int i = 0; i < lines; ++i)
            backlog.append(file, line + QByteArray::number(i) + "\r\n", failures);
        QVERIFY(backlog.dropped());

        QVERIFY(QDir(dir.path()).mkdir("logs"));
        failures.clear();
        QVERIFY(backlog.append(file, "newest\r\n", failures));
        QVERIFY(failures.isEmpty() && backlog.isEmpty());
        const QByteArray written = readFile(dir.filePath("logs/day.txt"));
        QVERIFY(written.size() <= OutputBacklog::Cap + 8);
        QVERIFY(written.endsWith(line + QByteArray::number(lines - 1) + "\r\nnewest\r\n"));
        QVERIFY(!written.startsWith(line + "0\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestFaultBacklog)
#include "tst_fault_backlog.moc"
