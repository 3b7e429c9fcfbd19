#include "device/FrameDecoder.h"
#include "device/ReceiveBuffer.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<QByteArray>)

class TestReceive : public QObject
{
    Q_OBJECT

private slots:
    // Each row feeds chunks and lists which event (0-based) completed a frame and the frame.
    void buffering_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<int>("completedAt"); // -1: nothing completed
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("left");
        QTest::newRow("frame over three events")
            << QList<QByteArray>{"[<V>6", "25</V><I>4", "62</I>]"} << 2
            << QByteArray("[<V>625</V><I>462</I>]") << QByteArray();
        QTest::newRow("text without brackets stays")
            << QList<QByteArray>{"<V>625", "</V>"} << -1 << QByteArray()
            << QByteArray("<V>625</V>");
        QTest::newRow("end of one frame, start of the next")
            << QList<QByteArray>{"7</S>]\r\n", "[<V>6"} << 1 << QByteArray("7</S>]\r\n")
            << QByteArray("[<V>6");
        QTest::newRow("two frames in one read")
            << QList<QByteArray>{"[<V>1</V>][<V>2</V>]"} << 0
            << QByteArray("[<V>1</V>][<V>2</V>]") << QByteArray();
        QTest::newRow("brackets each alone")
            << QList<QByteArray>{"]", "x", "["} << 2 << QByteArray("]x") << QByteArray("[");
        QTest::newRow("two frames and a tail without a bracket")
            << QList<QByteArray>{"[<V>1</V>][<V>2</V>]<V>3"} << 0
            << QByteArray("[<V>1</V>][<V>2</V>]<V>3") << QByteArray();
    }
    void buffering()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(int, completedAt);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, left);
        ReceiveBuffer buffer;
        for (int event = 0; event < chunks.size(); ++event) {
            const auto got = buffer.append(chunks[event]);
            QCOMPARE(got.has_value(), event == completedAt);
            if (got)
                QCOMPARE(*got, frame);
        }
        QCOMPARE(buffer.text().toByteArray(), left);
    }

    // Garbage without brackets must not grow without end, and below the cap nothing changes.
    void capKeepsTheNewestText()
    {
        ReceiveBuffer buffer;
        const QByteArray below(ReceiveBuffer::Cap, 'a');
        QVERIFY(!buffer.append(below));
        QCOMPARE(buffer.size(), ReceiveBuffer::Cap);

        for (int i = 0; i < 40; ++i)
            QVERIFY(!buffer.append(QByteArray(5000, char('b' + i % 20))));
        QVERIFY(!buffer.append("tail"));
        QCOMPARE(buffer.size(), ReceiveBuffer::Cap);
        QVERIFY(buffer.text().endsWith("tail"));

        // A "[" that scrolled out of the kept text no longer counts.
        ReceiveBuffer dropped;
        dropped.append("[");
        dropped.append(QByteArray(ReceiveBuffer::Cap, 'z'));
        QVERIFY(!dropped.append("]"));
        // One that is still inside does.
        ReceiveBuffer kept;
        kept.append(QByteArray(ReceiveBuffer::Cap, 'z'));
        kept.append("[");
        kept.append(QByteArray(100, 'z'));
        const auto frame = kept.append("]");
        QVERIFY(frame);
        QCOMPARE(frame->size(), ReceiveBuffer::Cap + 1);
        QVERIFY(frame->endsWith(QByteArray(100, 'z') + "]"));
        QCOMPARE(kept.size(), 0);
    }

    // Regression: the unfinished text kept after a frame was not capped, so one long read of
    // noise after a stray "]" stayed whole in the buffer (found by fuzz_receive).
    void unfinishedTextAfterAFrameIsCapped()
    {
        ReceiveBuffer buffer;
        QVERIFY(!buffer.append("<M>0</M>]"));
        const auto frame = buffer.append("[" + QByteArray(ReceiveBuffer::Cap, 'x') + "tail");
        QVERIFY(frame);
        QCOMPARE(*frame, QByteArray("<M>0</M>]"));
        QCOMPARE(buffer.size(), ReceiveBuffer::Cap);
        QVERIFY(buffer.text().endsWith("xtail"));
        // The "[" went out with the oldest text, so a "]" alone completes nothing.
        QVERIFY(!buffer.append("]"));
    }

    // A read that carried the start of the next frame along with the end of one used to
    // throw that start away, and with reads cut at the same place every frame after it lost
    // its first value: volts read 0 for good.
    void unfinishedFrameAfterTheLastBracketIsKept()
    {
        const QByteArray line = "[<V>640</V><I>560</I><R>16</R><S>40</S><M>0</M>]\r\n";
        ReceiveBuffer buffer;
        QList<QByteArray> frames;
        frames << *buffer.append(line + line + "[<V>640<");
        QCOMPARE(buffer.text().toByteArray(), QByteArray("[<V>640<"));
        const QByteArray rest = line.mid(8) + line + line;
        for (int i = 0; i < rest.size(); i += 8) {
            if (auto frame = buffer.append(rest.mid(i, 8)))
                frames << *frame;
        }
        QCOMPARE(frames.size(), 4);
        for (const QByteArray& frame : frames) {
            const RawFrame raw = FrameDecoder::decode(frame, 500);
            QVERIFY2(raw.complete && raw.v == 640 && raw.i == 560, frame.constData());
        }
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<double>("lastRawCurrent");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<bool>("modeSet");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<double>>("virs");
        using L = QList<double>;
        QTest::newRow("full frame, any order")
            << QByteArray("[<S>38</S><M>1</M><V>625</V><I>462</I><R>10</R>]") << 500.0 << true
            << true << 1 << L{625, 462, 10, 38};
        QTest::newRow("blanks and signs") << QByteArray("[<V> -1.5e1 </V>]") << 500.0 << true
                                          << true << 0 << L{-15, 0, 0, 0};
        QTest::newRow("absent I is 0") << QByteArray("[<V>625</V>]") << 480.0 << true << true
                                       << 0 << L{625, 0, 0, 0};
        QTest::newRow("letters in I keep the last raw current")
            << QByteArray("[<V>625</V><I>abc</I>]") << 480.0 << true << true << 0
            << L{625, 480, 0, 0};
        QTest::newRow("empty I keeps the last raw current")
            << QByteArray("[<I></I>]") << 480.0 << true << true << 0 << L{0, 480, 0, 0};
        QTest::newRow("letters elsewhere are 0")
            << QByteArray("[<V>x</V><R>y</R><S>z</S><M>q</M>]") << 500.0 << true << true << 0
            << L{0, 0, 0, 0};
        QTest::newRow("lower-case tags are absent")
            << QByteArray("[<v>625</v><i>4</i><m>1</m>]") << 500.0 << true << true << 0
            << L{0, 0, 0, 0};
        QTest::newRow("M 2.5 gives 2") << QByteArray("[<M>2.5</M>]") << 500.0 << true << true
                                       << 2 << L{0, 0, 0, 0};
        QTest::newRow("M 3.5 gives 4") << QByteArray("[<M>3.5</M>]") << 500.0 << true << true
                                       << 4 << L{0, 0, 0, 0};
        QTest::newRow("started mid-frame: no pair complete")
            << QByteArray("7</S>]\r\n[<V>6") << 500.0 << true << true << 0 << L{0, 0, 0, 0};
        QTest::newRow("two frames: the first values count")
            << QByteArray("[<V>1</V><M>1</M>][<V>2</V><M>0</M>]") << 500.0 << true << true << 1
            << L{1, 0, 0, 0};
        QTest::newRow("closing V first stops before the mode")
            << QByteArray("[</V><M>1</M><V>5]") << 500.0 << false << false << 0
            << L{0, 0, 0, 0};
        QTest::newRow("closing S first stops after the mode")
            << QByteArray("[</S><M>1</M><S>5]") << 500.0 << false << true << 1
            << L{0, 0, 0, 0};
        QTest::newRow("M outside 16 bits stops the frame")
            << QByteArray("[<V>1</V><M>40000</M>]") << 500.0 << false << false << 0
            << L{1, 0, 0, 0};
    }
    void decoding()
    {
        QFETCH(QByteArray, frame);
        QFETCH(double, lastRawCurrent);
        QFETCH(bool, complete);
        QFETCH(bool, modeSet);
        QFETCH(int, mode);
        QFETCH(QList<double>, virs);
        const RawFrame raw = FrameDecoder::decode(frame, lastRawCurrent);
        QCOMPARE(raw.complete, complete);
        QCOMPARE(raw.modeSet, modeSet);
        QCOMPARE(int(raw.mode), mode);
        if (complete)
            QCOMPARE((QList<double>{raw.v, raw.i, raw.r, raw.s}), virs);
    }
};

QTEST_GUILESS_MAIN(TestReceive)
#include "tst_receive.moc"
