#include "device/FrameDecoder.h"
#include "device/ReceiveBuffer.h"

#include <QtTest>

class TestReceive : public QObject
{
    Q_OBJECT

private slots:
    // Reads in, the frame each completed (empty: none), and the text held after them.
    void receive_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<QByteArrayList>("frames");
        QTest::addColumn<QByteArray>("held");
        const int cap = 64 * 1024;
        QByteArrayList garbage{QByteArray(cap, 'a')};
        for (int i = 0; i < 40; ++i)
            garbage << QByteArray(5000, char('b' + i % 20));
        QTest::newRow("without [ after the last ], the tail goes with the frame")
            << QByteArrayList{"[<V>1</V>][<V>2</V>]<V>3"}
            << QByteArrayList{"[<V>1</V>][<V>2</V>]<V>3"} << QByteArray();
        // Regression: a read with the end of one frame and the start of the next threw that
        // start away, and with reads cut alike every later frame lost its volts.
        QTest::newRow("a frame begun after the last ] is kept")
            << QByteArrayList{"[<V>1</V>][<V>2<", "/V>][<V>3<", "/V>][<V"}
            << QByteArrayList{"[<V>1</V>]", "[<V>2</V>]", "[<V>3</V>]"} << QByteArray("[<V");
        // A "[" among the newest 64 KiB of garbage still counts.
        QTest::newRow("garbage keeps its newest 64 KiB")
            << garbage + QByteArrayList{"tail[", "]"}
            << QByteArrayList(garbage.size() + 1, {}) +
                   QByteArrayList{(garbage.join() + "tail[").right(cap) + "]"}
            << QByteArray();
        // Regression: noise after a stray "]" stayed whole in the buffer (found by fuzz_receive).
        // Its "[" went out with the oldest text, so a "]" alone completes nothing.
        QTest::newRow("text kept after a frame is capped too")
            << QByteArrayList{"<M>0</M>]", "[" + QByteArray(cap, 'x') + "tail", "]"}
            << QByteArrayList{{}, "<M>0</M>]", {}} << (QByteArray(cap, 'x') + "tail]").right(cap);
    }
    void receive()
    {
        QFETCH(QByteArrayList, reads);
        QFETCH(QByteArrayList, frames);
        QFETCH(QByteArray, held);
        ReceiveBuffer buffer;
        QByteArrayList out;
        for (const QByteArray& read : reads)
            out << buffer.append(read).value_or(QByteArray());
        QCOMPARE(out, frames);
        QCOMPARE(buffer.text().toByteArray(), held);
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
