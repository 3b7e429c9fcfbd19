#include "LogInterval.h"

#include "common/NumberParse.h"
#include "common/Rounding.h"

std::optional<LogInterval> LogInterval::fromDelay(const QString& delayText)
{
    const auto typed = parseNumber(delayText);
    if (!typed)
        return std::nullopt;
    LogInterval interval{delayText, 0};
    double seconds = *typed;
    if (seconds > MaximumSeconds) {
        seconds = MaximumSeconds;
        interval.delayText = QString::number(MaximumSeconds);
    }
    if (seconds < MinimumSeconds) {
        seconds = MinimumSeconds;
        interval.delayText = QString::number(MinimumSeconds);
    }
    // Within 10 to 600 s the product fits an int; halves of a millisecond go to even.
    interval.milliseconds = static_cast<int>(roundHalfEven(seconds * 1000.0, 0));
    return interval;
}
