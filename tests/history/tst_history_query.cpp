#include "history/HistoryQuery.h"

#include <QtTest>
#include <memory>

namespace {

QByteArray record(const QByteArray& time, const QByteArray& volts = "13.2")
{
    return "<V>" + volts + "</V><I>4.75</I><W>62.7</W><R>312.5</R><S>6.3</S><M>1</M><T>" + time +
           "</T>\r\n";
}

// Boxes for 7 March 2010, whose log is logs/2010_3_7.txt.
HistoryQueryInput boxes(const QString& from = "00:00", const QString& to = "23:59")
{
    return {"2010",
            "3",
            "7",
            from.section(':', 0, 0),
            from.section(':', 1),
            to.section(':', 0, 0),
            to.section(':', 1)};
}

// What an earlier query left behind, so a test sees what a query changes.
std::unique_ptr<HistoryData> earlierResult()
{
    auto data = std::make_unique<HistoryData>();
    data->HistoryVolts.fill(-1);
    data->HistoryCount = 5;
    data->ViewFirst = 2;
    data->ViewLast = 4;
    data->Zoomed = 1;
    return data;
}

struct ProgramFolder
{
    QTemporaryDir dir;
    ProgramFolder() { QDir(dir.path()).mkdir("logs"); }
    QString logFile() const { return dir.path() + "/logs/2010_3_7.txt"; }
    void writeLog(const QByteArray& text) const
    {
        QFile file(logFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QStringList listing() const
    {
        QStringList names;
        QDirIterator it(dir.path(), QDir::AllEntries | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            names << it.next();
        return names;
    }
};

} // namespace

Q_DECLARE_METATYPE(HistoryQueryInput)

class TestHistoryQuery : public QObject
{
    Q_OBJECT

private slots:
    // A check that is skipped, or runs out of order, shows the wrong message or reads a file.
    void inputChecks_data()
    {
        QTest::addColumn<HistoryQueryInput>("input");
        QTest::addColumn<QString>("message");
        const QString start = "Bad time format for start time";
        const QString finish = "Bad time format for finish time";
        const QString date = "Bad date format for record date";
        auto in = [](QString h1, QString m1, QString h2, QString m2, QString d, QString m) {
            return HistoryQueryInput{"2010", m, d, h1, m1, h2, m2};
        };
        QTest::newRow("hour 25") << in("25", "00", "23", "59", "7", "3") << start;
        QTest::newRow("finish minute 60") << in("00", "00", "23", "60", "7", "3") << finish;
        QTest::newRow("31 February") << in("00", "00", "23", "59", "31", "2") << date;
        QTest::newRow("all bad: start first") << in("25", "0", "x", "0", "31", "2") << start;
        QTest::newRow("finish and date bad") << in("0", "0", "x", "0", "31", "2") << finish;
    }
    void inputChecks()
    {
        QFETCH(HistoryQueryInput, input);
        QFETCH(QString, message);
        ProgramFolder folder;
        folder.writeLog(record("12:00"));
        auto data = earlierResult();
        const auto result = HistoryQuery::run(input, folder.dir.path(), *data);
        QCOMPARE(result.message, message);
        QVERIFY(!result.draw());
        QCOMPARE(data->HistoryCount, qint16(5));
        QCOMPARE(data->Zoomed, 1);
        QCOMPARE(data->HistoryVolts[1], -1.0);
    }

    // Bounds taken as inclusive, or compared as text, admit records they must leave out.
    void timeWindow_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QList<int>>("minutes");
        QTest::newRow("00:00 and 23:59 left out") << "00:00"
                                                  << "23:59" << QList<int>{1, 720, 1438};
        QTest::newRow("one-digit boxes") << "0:0"
                                         << "12:1" << QList<int>{1, 720};
        QTest::newRow("start after finish") << "23:00"
                                            << "01:00" << QList<int>{};
        QTest::newRow("start equal to finish") << "12:00"
                                               << "12:00" << QList<int>{};
    }
    void timeWindow()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QList<int>, minutes);
        ProgramFolder folder;
        folder.writeLog(record("00:00") + record("00:01") + record("12:00") + record("23:58") +
                        record("23:59"));
        auto data = earlierResult();
        const auto result = HistoryQuery::run(boxes(from, to), folder.dir.path(), *data);
        QCOMPARE(data->HistoryCount, qint16(minutes.size()));
        QCOMPARE(data->Zoomed, 0);
        if (minutes.isEmpty()) {
            QCOMPARE(result.message, QString("No data for that date"));
            QCOMPARE(data->ViewLast, 4.0);
            QCOMPARE(data->HistoryVolts[1], -1.0);
            return;
        }
        QVERIFY(result.draw());
        QCOMPARE(data->ViewFirst, 1.0);
        QCOMPARE(data->ViewLast, double(minutes.size()));
        for (int n = 0; n < minutes.size(); ++n)
            QCOMPARE(data->HistoryTimes[n + 1], minutes[n] / 1440.0);
    }

    // Each row guards a way a damaged or unusual line could be miscounted or crash the reader.
    void lines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<double>>("first"); // V I W R S M of record 1
        using L = QList<double>;
        QTest::newRow("non-numeric V is 0 and counts")
            << record("10:00", "abc") + record("11:00") << 2 << L{0, 4.75, 62.7, 312.5, 6.3, 1};
        QTest::newRow("reversed V, missing W, M past 16 bits: 0")
            << QByteArray("</V>5<V><I>2</I><M>70000</M><T>10:00</T>") << 1 << L{0, 2, 0, 0, 0, 0};
        QTest::newRow("stray <, then the first pair counts")
            << QByteArray("<<V>5</V><V>2</V><T>10:00</T>") << 1 << L{5, 0, 0, 0, 0, 0};
        QTest::newRow("lone LF and no end on the last line")
            << QByteArray("<V>1</V><T>10:00</T>\n<V>2</V><T>10:01</T>") << 2 << L{1, 0, 0, 0, 0, 0};
        QTest::newRow("lone CR does not end a line")
            << QByteArray("<V>1</V>\r<T>10:00</T>\r\n") << 1 << L{1, 0, 0, 0, 0, 0};
        QTest::newRow("non-record lines skipped")
            << QByteArray("\r\n<V>9</V>\r\n<T>25:00</T>\r\n</T>10:00<T>\r\n") +
                   QByteArray(300, '\0') + "\r\n" + record("10:00")
            << 1 << L{13.2, 4.75, 62.7, 312.5, 6.3, 1};
        QTest::newRow("record across a block end; a line past a block is no record")
            << QByteArray((1 << 20) - 40, 'x') + "\r\n" + record("10:00") +
                   QByteArray(3 << 19, 'y') + "<T>10:30</T>\r\n" + record("11:00")
            << 2 << L{13.2, 4.75, 62.7, 312.5, 6.3, 1};
    }
    void lines()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, count);
        QFETCH(QList<double>, first);
        ProgramFolder folder;
        folder.writeLog(text);
        auto data = std::make_unique<HistoryData>();
        QVERIFY(HistoryQuery::run(boxes(), folder.dir.path(), *data).draw());
        QCOMPARE(int(data->HistoryCount), count);
        QCOMPARE((QList<double>{data->HistoryVolts[1], data->HistoryAmps[1], data->HistoryWatts[1],
                                data->HistoryRpm[1], data->HistoryWind[1],
                                double(data->HistoryModes[1])}),
                 first);
    }

    // The query must never write: no empty line appended, no file or folder created, and a
    // month typed as 03 must find the file the logger named 2010_3_7.
    void onlyReads()
    {
        ProgramFolder folder;
        const QByteArray text = record("09:00") + record("09:10", "12.9");
        folder.writeLog(text);
        const QStringList before = folder.listing();
        HistoryQueryInput input = boxes();
        input.DateM1 = "03";
        input.DateD1 = "07";
        auto once = std::make_unique<HistoryData>();
        auto twice = std::make_unique<HistoryData>();
        QVERIFY(HistoryQuery::run(input, folder.dir.path(), *once).draw());
        QVERIFY(HistoryQuery::run(input, folder.dir.path(), *twice).draw());
        QCOMPARE(twice->HistoryCount, qint16(2));
        QCOMPARE(twice->HistoryVolts, once->HistoryVolts);
        QFile file(folder.logFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), text);
        QCOMPARE(folder.listing(), before);

        input.DateD1 = "8";
        QCOMPARE(HistoryQuery::run(input, folder.dir.path(), *once).message,
                 QString("No data for that date"));
        QVERIFY(QDir(folder.dir.path() + "/logs").removeRecursively());
        QCOMPARE(HistoryQuery::run(input, folder.dir.path(), *once).outcome,
                 HistoryQuery::Outcome::NoData);
        QVERIFY(folder.listing().isEmpty());
    }

    // A folder where the day's file should be must give a message naming it, not a crash.
    void unreadableFileIsReported()
    {
        ProgramFolder folder;
        QVERIFY(QDir().mkpath(folder.logFile()));
        auto data = earlierResult();
        const auto result = HistoryQuery::run(boxes(), folder.dir.path(), *data);
        QCOMPARE(result.outcome, HistoryQuery::Outcome::Unreadable);
        QVERIFY(result.message.contains("2010_3_7.txt"));
        QCOMPARE(data->HistoryCount, qint16(0));
    }

    // An off-by-one lets the 10,000th record in, or the stop forgets the state it must leave.
    void recordLimit_data()
    {
        QTest::addColumn<int>("records");
        QTest::newRow("9,999 accepted") << 9999;
        QTest::newRow("10,000th refused") << 10000;
    }
    void recordLimit()
    {
        QFETCH(int, records);
        QByteArray text;
        for (int n = 1; n <= records; ++n)
            text += record(QByteArray::number(1 + n % 1320 / 60) + ":" +
                               QByteArray::number(n % 60).rightJustified(2, '0'),
                           QByteArray::number(n));
        ProgramFolder folder;
        folder.writeLog(text);
        auto data = earlierResult();
        const auto result = HistoryQuery::run(boxes(), folder.dir.path(), *data);
        QCOMPARE(int(data->HistoryCount), records);
        QCOMPARE(data->Zoomed, 0);
        QCOMPARE(data->HistoryVolts[1], 1.0);
        QCOMPARE(data->HistoryVolts[9999], 9999.0);
        QCOMPARE(data->HistoryVolts[10000], -1.0);
        if (records == 9999) {
            QVERIFY(result.draw());
            QCOMPARE(data->ViewLast, 9999.0);
            return;
        }
        QVERIFY(!result.draw());
        QCOMPARE(result.message, HistoryQuery::tooManyMessage());
        QVERIFY(result.message.endsWith("you wont have this problem in the future. "));
        QCOMPARE(data->ViewFirst, 2.0);
        QCOMPARE(data->ViewLast, 4.0);
    }
};

QTEST_GUILESS_MAIN(TestHistoryQuery)
#include "tst_history_query.moc"
