#pragma once

#include <QByteArray>
#include <cmath>
#include <cstdio>

// A plausible windy day: voltage following the charge, some load-on stretches.
inline QByteArray dayLog(int records)
{
    QByteArray text;
    text.reserve(records * 96);
    for (int n = 0; n < records; ++n) {
        const int minute = 1 + int(qint64(n) * 1437 / records);
        const double wind = 6 + 4 * std::sin(n / 300.0) + (n % 7) * 0.1;
        const double amps = std::round((wind * 1.8 - 6) * 100) / 100;
        const double volts = std::round((12.6 + amps * 0.05) * 100) / 100;
        const bool loadOn = (n / 500) % 3 == 0;
        char line[160];
        std::snprintf(line, sizeof line,
                      "<V>%.2f</V><I>%.2f</I><W>%.2f</W><R>%.1f</R><S>%.1f</S><M>%d</M>"
                      "<T>%02d:%02d</T>\r\n",
                      volts, amps, volts * amps, wind * 55, wind, loadOn ? 1 : 0, minute / 60,
                      minute % 60);
        text += line;
    }
    return text;
}

