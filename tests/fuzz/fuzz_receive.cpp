// The receive path as the main window drives it: serial text arriving in pieces of any size,
// each complete frame decoded and converted under several calibrations.
#include "FuzzCheck.h"

#include "config/CalibrationSettings.h"
#include "device/LiveReading.h"
#include "device/ReceiveBuffer.h"

#include <cmath>
#include <random>
#include <string>

namespace {

// The usual one, one that pushes results towards the limits of a double, and one that a
// user saved with a zero and a word in it.
const CalibrationSettings calibrations[] = {
    CalibrationSettings::defaults(),
    {"1e-300", "-1e300", "0.000001", "-4", "1e-308"},
    {"0", "512", "twenty", "4", "2.5"},
};

bool finite(const Reading& r)
{
    for (double v : {r.Volts, r.Amps, r.Watts, r.RPM, r.WindSpeed, r.LastRawCurrent, r.PeakVolts,
                     r.PeakAmps, r.PeakWatts, r.PeakRPM, r.PeakWindSpeed}) {
        if (!std::isfinite(v))
            return false;
    }
    return true;
}

// What ReceiveBuffer promises, kept apart from its code: once the held text has both brackets
// it is one frame, except that an unfinished frame begun after the last "]" stays for the
// next; text without a complete pair of brackets keeps only its newest Cap bytes.
struct BufferModel
{
    std::string held;

    std::optional<std::string> append(const std::string& read)
    {
        held += read;
        const size_t lastOpen = held.rfind('[');
        const size_t lastClose = held.rfind(']');
        std::optional<std::string> frame;
        if (lastOpen != std::string::npos && lastClose != std::string::npos) {
            const size_t keep = lastOpen > lastClose ? held.find('[', lastClose) : held.size();
            frame = held.substr(0, keep);
            held.erase(0, keep);
        }
        if (held.size() > size_t(ReceiveBuffer::Cap))
            held.erase(0, held.size() - size_t(ReceiveBuffer::Cap));
        return frame;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(bytes), qsizetype(size));
    // The split points come from the input itself.
    std::minstd_rand random(inputHash(bytes, size));

    ReceiveBuffer buffer;
    BufferModel model;
    LiveReading readings[std::size(calibrations)];
    for (size_t c = 0; c < std::size(calibrations); ++c)
        readings[c].setCalibration(calibrations[c]);
    QDateTime now(QDate(2010, 3, 7), QTime(23, 59, 30));

    qsizetype pos = 0;
    while (pos < input.size()) {
        QByteArray read;
        // Now and then a long run of line noise, long enough to reach the cap.
        if (random() % 64 == 0) {
            read = QByteArray(qsizetype(random() % (ReceiveBuffer::Cap + ReceiveBuffer::Cap / 4)),
                              input[pos]);
        } else {
            const qsizetype want =
                random() % 4 == 0 ? qsizetype(random() % 512) + 1 : qsizetype(random() % 8) + 1;
            read = input.sliced(pos, qMin(want, input.size() - pos)).toByteArray();
            pos += read.size();
        }

        const auto frame = buffer.append(read);
        const auto expected = model.append(read.toStdString());
        FUZZ_CHECK(frame.has_value() == expected.has_value());
        FUZZ_CHECK(buffer.size() <= ReceiveBuffer::Cap);
        FUZZ_CHECK(buffer.size() == qsizetype(model.held.size()));
        if (!frame)
            continue;
        FUZZ_CHECK(frame->toStdString() == *expected);

        now = now.addSecs(5);
        for (LiveReading& live : readings) {
            live.handleFrame(*frame, now, random() % 2 == 0);
            FUZZ_CHECK(finite(live.reading()));
            live.wattHourStep(now);
        }
    }
    FUZZ_CHECK(buffer.text().toByteArray().toStdString() == model.held);
    return 0;
}
