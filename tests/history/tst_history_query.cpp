#include "history/HistoryQuery.h"

#include <QtTest>
#include <memory>

namespace {

QByteArray record(const QByteArray& time, const QByteArray& volts = "13.2")
{
    return "<V>" + volts + "</V><I>4.75</I><W>62.7</W><R>312.5</R><S>6.3</S><M>1</M><T>" + time +
           "</T>\r\n";
}

// A log for 7 March 2010, and arrays an earlier query filled, to see what a query changes.
struct ProgramFolder
{
    QTemporaryDir dir;
    std::unique_ptr<HistoryData> data = std::make_unique<HistoryData>();

    explicit ProgramFolder(const QByteArray& log)
    {
        QDir(dir.path()).mkdir("logs");
        QFile file(logFile());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(log) == log.size());
    }
    QString logFile() const { return dir.path() + "/logs/2010_3_7.txt"; }
    // The boxes typed as "d/m h:m-h:m", in 2010.
    HistoryQuery::Result run(const QString& typed = "7/3 00:00-23:59") const
    {
        data->HistoryVolts.fill(-1);
        data->HistoryCount = 5;
        data->ViewFirst = 2;
        data->ViewLast = 4;
        data->Zoomed = 1;
        const QStringList t = typed.split(QRegularExpression("[/ :-]"));
        return HistoryQuery::run({"2010", t[1], t[0], t[2], t[3], t[4], t[5]}, dir.path(), *data);
    }
};

} // namespace

class TestHistoryQuery : public QObject
{
    Q_OBJECT

private slots:
    // Input checks skipped or out of order; bounds taken as inclusive or compared as text.
    // Bad input changes nothing; no records leave the arrays and the view as they were.
    void query_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("minutes");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* typed, const QList<int>& minutes,
                            const QString& message = {}) {
            QTest::newRow(name) << QString(typed) << minutes << message;
        };
        row("31 February", "31/2 0:0-23:59", {}, "Bad date format for record date");
        row("all bad: start first", "31/2 25:0-x:0", {}, "Bad time format for start time");
        row("finish and date bad", "31/2 0:0-x:0", {}, "Bad time format for finish time");
        row("00:00 and 23:59 left out", "7/3 00:00-23:59", {1, 720, 1438});
        row("one-digit boxes", "7/3 0:0-12:1", {1, 720});
        row("start after finish", "7/3 23:00-01:00", {}, "No data for that date");
    }
    void query()
    {
        QFETCH(QString, typed);
        QFETCH(QList<int>, minutes);
        QFETCH(QString, message);
        const ProgramFolder folder(record("00:00") + record("00:01") + record("12:00") +
                                   record("23:58") + record("23:59"));
        const auto result = folder.run(typed);
        const HistoryData* data = folder.data.get();
        QCOMPARE(result.message, message);
        QCOMPARE(result.draw(), message.isEmpty());
        const bool badInput = message.startsWith("Bad");
        QCOMPARE(int(data->HistoryCount), badInput ? 5 : int(minutes.size()));
        QCOMPARE(data->Zoomed, badInput ? 1 : 0);
        QCOMPARE(data->ViewLast, minutes.isEmpty() ? 4.0 : double(minutes.size()));
        QCOMPARE(data->HistoryVolts[1], minutes.isEmpty() ? -1.0 : 13.2);
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
        QTest::newRow(
            "stray <; first V pair non-numeric; reversed R; W closed only; M past 16 bits")
            << QByteArray("xx9</W><<V>abc</V><V>2</V></R>5<R><I>2</I><M>70000</M><T>10:00</T>") << 1
            << L{0, 2, 0, 0, 0, 0};
        QTest::newRow("lone CR no line end, lone LF one, none needed on the last; blanks round T")
            << QByteArray("<V>1</V>\r<T> 10:00 </T>\n<V>2</V><T>10:01</T>") << 2
            << L{1, 0, 0, 0, 0, 0};
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
        const ProgramFolder folder(text);
        QVERIFY(folder.run().draw());
        const HistoryData* data = folder.data.get();
        QCOMPARE(int(data->HistoryCount), count);
        QCOMPARE((QList<double>{data->HistoryVolts[1], data->HistoryAmps[1], data->HistoryWatts[1],
                                data->HistoryRpm[1], data->HistoryWind[1],
                                double(data->HistoryModes[1])}),
                 first);
    }

    // Never writes a byte or a folder; "03" finds 2010_3_7; an unreadable day's file is named.
    void onlyReads()
    {
        const QByteArray text = record("09:00") + record("09:10");
        const ProgramFolder folder(text);
        QVERIFY(folder.run("07/03 00:00-23:59").draw());
        QFile file(folder.logFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), text);
        const QDir logs(folder.dir.path() + "/logs");
        QCOMPARE(logs.entryList(QDir::NoDotAndDotDot | QDir::AllEntries), {"2010_3_7.txt"});

        QVERIFY(QDir(logs).removeRecursively());
        QCOMPARE(folder.run().message, QString("No data for that date"));
        QVERIFY(QDir(folder.dir.path()).isEmpty());

        QVERIFY(QDir().mkpath(folder.logFile()));
        const auto result = folder.run();
        QCOMPARE(result.outcome, HistoryQuery::Outcome::Unreadable);
        QVERIFY(result.message.contains("2010_3_7.txt"));
        QCOMPARE(folder.data->HistoryCount, qint16(0));
    }

    // The 9,999th record is the last taken; the 10,000th stops the query, keeping the view.
    void recordLimit()
    {
        QByteArray text;
        for (int n = 1; n <= 9999; ++n)
            text += record(QString::asprintf("%d:%02d", 1 + n % 1320 / 60, n % 60).toLatin1(),
                           QByteArray::number(n));
        const ProgramFolder folder(text + record("23:58", "10000"));
        const HistoryData* data = folder.data.get();
        QVERIFY(folder.run("7/3 00:00-23:58").draw());
        QCOMPARE(data->ViewLast, 9999.0);

        QVERIFY(folder.run().message.endsWith("you wont have this problem in the future. "));
        QCOMPARE(int(data->HistoryCount), 10000);
        QCOMPARE(data->Zoomed, 0);
        QCOMPARE(data->HistoryVolts[9999], 9999.0);
        QCOMPARE(data->HistoryVolts[10000], -1.0);
        QCOMPARE(data->ViewFirst, 2.0);
    }
};

QTEST_GUILESS_MAIN(TestHistoryQuery)
#include "tst_history_query.moc"
