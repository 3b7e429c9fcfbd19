#include "FrameDecoder.h"

#include "common/NumberParse.h"
#include "common/Rounding.h"
#include "common/TagSpan.h"

namespace {

enum class Cut { Absent, NotNumber, Number, Failed };

struct Value
{
    Cut cut = Cut::Absent;
    double number = 0;
};

Value cutValue(QByteArrayView frame, const char* open, const char* close)
{
    const TagSpan span = TagSpan::locate(frame, QByteArrayView(open), QByteArrayView(close));
    if (span.kind == TagSpan::Kind::Absent)
        return {};
    if (span.kind == TagSpan::Kind::Reversed)
        return {Cut::Failed, 0};
    const auto number = parseNumber(frame.sliced(span.begin, span.length));
    return number ? Value{Cut::Number, *number} : Value{Cut::NotNumber, 0};
}

// Absent and non-numeric values both count as 0.
bool numberOrZero(QByteArrayView frame, const char* open, const char* close, double* out)
{
    const Value value = cutValue(frame, open, close);
    *out = value.number;
    return value.cut != Cut::Failed;
}

} // namespace

RawFrame FrameDecoder::decode(QByteArrayView frame, double lastRawCurrent)
{
    RawFrame raw;
    if (!numberOrZero(frame, "<V>", "</V>", &raw.v))
        return raw;

    const Value current = cutValue(frame, "<I>", "</I>");
    if (current.cut == Cut::Failed)
        return raw;
    raw.i = current.cut == Cut::NotNumber ? lastRawCurrent : current.number;

    if (!numberOrZero(frame, "<R>", "</R>", &raw.r))
        return raw;

    double mode = 0;
    if (!numberOrZero(frame, "<M>", "</M>", &mode))
        return raw;
    const auto mode16 = toInt16(mode);
    if (!mode16)
        return raw;
    raw.mode = *mode16;
    raw.modeSet = true;

    if (!numberOrZero(frame, "<S>", "</S>", &raw.s))
        return raw;
    raw.complete = true;
    return raw;
}
