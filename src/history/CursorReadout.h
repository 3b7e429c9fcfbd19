#pragma once

#include "HistoryData.h"

#include <QString>
#include <optional>

// The labels beside the plot that follow the pointer: the record under plot position x
// (user scale, 0 at the left edge), with its units.
struct CursorReadout
{
    QString time;
    QString volts;
    QString amps;
    QString watts;
    QString rpm;
    QString wind;

    // Nothing with fewer than two loaded records. Positions past either end of the loaded
    // records show the nearest record.
    static std::optional<CursorReadout> at(const HistoryData& data, double x,
                                           const QString& windUnit);
};
