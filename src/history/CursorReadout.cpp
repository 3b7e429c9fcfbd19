#include "CursorReadout.h"

#include "common/NumberText.h"
#include "common/Rounding.h"

#include <cmath>

std::optional<CursorReadout> CursorReadout::at(const HistoryData& data, double x,
                                               const QString& windUnit)
{
    if (data.HistoryCount < 2)
        return std::nullopt;
    // The time takes the record below x + ViewFirst, the values the one nearest to
    // floor(x) + ViewFirst; they differ only when the view starts between two records.
    const double below = std::floor(data.clampPosition(x + data.ViewFirst));
    const int timeIndex = data.recordIndex(below);
    const int k = data.recordIndex(std::floor(x) + data.ViewFirst);
    const auto text = [](double value) { return NumberText(roundHalfEven(value, 2)); };
    return CursorReadout{
        HistoryData::shortTime(data.HistoryTimes[size_t(timeIndex)]),
        text(data.HistoryVolts[size_t(k)]) + QStringLiteral(" Volts"),
        text(data.HistoryAmps[size_t(k)]) + QStringLiteral(" Amps"),
        text(data.HistoryWatts[size_t(k)]) + QStringLiteral(" Watts"),
        text(data.HistoryRpm[size_t(k)]) + QStringLiteral(" RPM"),
        text(data.HistoryWind[size_t(k)]) + QLatin1Char(' ') + windUnit,
    };
}
