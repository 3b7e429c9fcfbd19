#pragma once

#include "GraphPicture.h"

#include <QImage>

// A day's graph as a picture of its own, as the history window shows it: the plot from its
// display list, the start and finish times above it, and the maxima and minima beside it in
// the series' colours.
class GraphImage
{
public:
    // Max and min label text colours, volts to wind speed.
    static constexpr QRgb LabelColours[5] = {0xffff0000, 0xff00c000, 0xff8080ff, 0xffffff00,
                                             0xffffffff};

    static QImage render(const GraphPicture& picture, const QSize& size);
};
