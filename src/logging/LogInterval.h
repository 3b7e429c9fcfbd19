#pragma once

#include <QString>
#include <optional>

// What Start makes of the delay box: the text to show, rewritten when it was out of range,
// and the logging timer's interval.
struct LogInterval
{
    QString delayText;
    int milliseconds = 0;

    static constexpr int MinimumSeconds = 10;
    static constexpr int MaximumSeconds = 600;
    static constexpr char InvalidMessage[] =
        "Invalid delay period, needs to be a number between 10 and 600";

    // Clamps into 10 to 600 seconds without complaint; nothing when the text is not a number,
    // and then the caller shows InvalidMessage and changes nothing.
    static std::optional<LogInterval> fromDelay(const QString& delayText);
};
