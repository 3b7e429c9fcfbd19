// Prints how fast frames go from received text to display rows, and what a receive event
// costs while a stream without brackets piles up (it should not grow with the buffer).
#include "config/ProgramConfig.h"
#include "ui/LiveDisplay.h"
#include "device/LiveReading.h"
#include "device/ReceiveBuffer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <cstdio>
#include <malloc.h>

int main()
{
    // Keep freed buffers in the heap, so the measured pass does not pay for the first touch
    // of fresh pages, which costs a virtual machine far more than the buffer work itself.
    mallopt(M_MMAP_THRESHOLD, 16 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);

    // Frames as the logger sends them, varied so nothing is cached by accident.
    QVector<QByteArray> frames;
    for (int i = 0; i < 256; ++i) {
        frames << QByteArray("[<V>") + QByteArray::number(600 + i % 100) + "</V><I>" +
                      QByteArray::number(480 + i) + "</I><R>" + QByteArray::number(i % 40) +
                      "</R><S>" + QByteArray::number(i % 90) + "</S><M>" +
                      QByteArray::number(i % 2) + "</M>]\r\n";
    }
    const ProgramConfig config = ProgramConfig::defaults();
    LiveReading live;
    live.setCalibration(CalibrationSettings::defaults());
    ReceiveBuffer buffer;
    const QDateTime now = QDateTime::currentDateTime();

    const int count = 2'000'000;
    qsizetype rowChars = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        const auto frame = buffer.append(frames[i & 255]);
        if (frame && live.handleFrame(*frame, now, true)) {
            const auto rows = LiveDisplay::rows(live.reading(), config);
            rowChars += rows.last().value.size() + LiveDisplay::caption(live.reading()).size();
        }
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("frames decoded, converted and turned into display rows: %.0f per second "
                "(%d frames in %.3f s; goal at least 1,000,000)\n",
                count / seconds, count, seconds);

    // 1 MB of text without brackets, in 64-byte receive events. The first pass only warms
    // up the allocator and the caches; the second is measured.
    const QByteArray chunk(64, 'x');
    const qsizetype report[] = {16 * 1024, 64 * 1024, 256 * 1024, 512 * 1024, 1024 * 1024};
    for (int pass = 0; pass < 2; ++pass) {
        ReceiveBuffer garbage;
        qsizetype received = 0;
        int next = 0;
        qint64 events = 0;
        timer.restart();
        if (pass == 1)
            std::printf("receive event cost while text without brackets builds up:\n");
        while (received < 1024 * 1024) {
            garbage.append(chunk);
            received += chunk.size();
            ++events;
            if (received < report[next])
                continue;
            if (pass == 1) {
                std::printf("  up to %5lld KiB received (buffer holds %3lld KiB): %4.0f ns per "
                            "event\n",
                            static_cast<long long>(received / 1024),
                            static_cast<long long>(garbage.size() / 1024),
                            double(timer.nsecsElapsed()) / events);
            }
            ++next;
            events = 0;
            timer.restart();
        }
    }
    return rowChars > 0 ? 0 : 1;
}
