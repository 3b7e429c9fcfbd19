#pragma once

#include "GraphPicture.h"
#include "HistoryData.h"

// Turns the records in the view into the plot's display list, the list rows and the labels.
// Each series is scaled on its own to the full height, so the vertical extent changes
// before every series; the extents passed in are those in force before the call.
class DrawGraph
{
public:
    // Colours of the plot, as (red, green, blue).
    static constexpr QRgb VoltsColour = 0xffff0000;
    static constexpr QRgb AmpsColour = 0xff00ff00;
    static constexpr QRgb WattsColour = 0xff0000ff;
    static constexpr QRgb RpmColour = 0xffffff00;
    static constexpr QRgb WindColour = 0xffffffff;
    static constexpr QRgb ModeBoxColour = 0xff8080ff;
    static constexpr QRgb ReferenceColour = 0xff00ffff;

    static GraphPicture draw(const HistoryData& data, const GraphSettings& settings,
                             PlotExtents extents);
};
