#include "device/FrameDecoder.h"
#include "device/ReceiveBuffer.h"

#include <QtTest>

class TestReceive : public QObject
{
    Q_OBJECT

private slots:
    // Without a "[" after the last "]", the tail goes out with the frames before it.
    void tailWithoutBracketGoesWithTheFrame()
    {
        ReceiveBuffer buffer;
        const QByteArray two = "[<V>1</V>][<V>2</V>]<V>3";
        QCOMPARE(buffer.append(two).value_or(""), two);
        QCOMPARE(buffer.size(), 0);
    }

    // Garbage without brackets keeps only its newest 64 KiB; a "[" among them still counts.
    void capKeepsTheNewestText()
    {
        QCOMPARE(ReceiveBuffer::Cap, qsizetype(64 * 1024));
        ReceiveBuffer buffer;
        QVERIFY(!buffer.append(QByteArray(ReceiveBuffer::Cap, 'a')));
        QCOMPARE(buffer.size(), ReceiveBuffer::Cap);
        for (int i = 0; i < 40; ++i)
            buffer.append(QByteArray(5000, char('b' + i % 20)));
        QVERIFY(!buffer.append("tail["));
        QCOMPARE(buffer.size(), ReceiveBuffer::Cap);
        const QByteArray frame = buffer.append("]").value_or("");
        QCOMPARE(frame.size(), ReceiveBuffer::Cap + 1);
        QVERIFY(frame.endsWith("tail[]"));
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

    // Regression: a read with the end of one frame and the start of the next threw that start
    // away, and with reads cut alike every later frame lost its volts.
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

    // Frames decode with a last raw current of 480; the mode is set as soon as it is read.
    void decoding_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<int>("mode"); // -1: not set
        QTest::addColumn<QList<double>>("virs");
        const auto row = [](const char* name, const char* frame, bool complete, int mode,
                            const QList<double>& virs) {
            QTest::newRow(name) << QByteArray(frame) << complete << mode << virs;
        };
        row("full frame, any order", "[<S>38</S><M>1</M><V>625</V><I>462</I><R>10</R>]", true, 1,
            {625, 462, 10, 38});
        row("letters: I keeps the last raw current, others are 0",
            "[<V>x</V><I>abc</I><R>y</R><S>z</S><M>q</M>]", true, 0, {0, 480, 0, 0});
        row("two frames: the first values count", "[<V>1</V><M>1</M>][<V>2</V><M>0</M>]", true, 1,
            {1, 0, 0, 0});
        row("closing V first stops before the mode", "[</V><M>1</M><V>5]", false, -1, {});
        row("closing S first stops after the mode", "[</S><M>1</M><S>5]", false, 1, {});
        row("M outside 16 bits stops the frame", "[<V>1</V><M>40000</M>]", false, -1, {});
    }
    void decoding()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, complete);
        QFETCH(int, mode);
        QFETCH(QList<double>, virs);
        const RawFrame raw = FrameDecoder::decode(frame, 480);
        QCOMPARE(raw.complete, complete);
        QCOMPARE(raw.modeSet ? int(raw.mode) : -1, mode);
        if (complete)
            QCOMPARE((QList<double>{raw.v, raw.i, raw.r, raw.s}), virs);
    }
};

QTEST_GUILESS_MAIN(TestReceive)
#include "tst_receive.moc"
