#include "HistoryData.h"

#include <algorithm>
#include <cmath>

int HistoryData::loadedCount() const
{
    return std::clamp(int(HistoryCount), 0, MaxRecords);
}

double HistoryData::clampPosition(double position) const
{
    const double last = std::max(loadedCount(), 1);
    if (!(position >= 1.0))
        return 1.0;
    return std::min(position, last);
}

int HistoryData::recordIndex(double position) const
{
    // nearbyint rounds ties to even in the default rounding mode.
    return int(std::nearbyint(clampPosition(position)));
}

QString HistoryData::shortTime(double dayFraction)
{
    if (!std::isfinite(dayFraction))
        dayFraction = 0;
    // Round to the second before dropping the seconds, so a day fraction a hair below a
    // whole minute still shows that minute.
    long long seconds = std::llround(std::fmod(dayFraction, 1.0) * 86400.0) % 86400;
    if (seconds < 0)
        seconds += 86400;
    const int hours = int(seconds / 3600);
    const int minutes = int(seconds / 60 % 60);
    const QChar text[5] = {QChar('0' + hours / 10), QChar('0' + hours % 10), QLatin1Char(':'),
                           QChar('0' + minutes / 10), QChar('0' + minutes % 10)};
    return QString(text, 5);
}
