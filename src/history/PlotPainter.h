#pragma once

#include "PlotItem.h"

#include <QSizeF>

class QPainter;

// Paints a display list at any size on any paint device, so the history window and the web
// server's PNG draw the same picture. Only what follows the last Clear shows.
class PlotPainter
{
public:
    static constexpr QRgb Background = 0xff404040;

    // A series has far more segments than the picture has pixel columns: the segments that
    // fall within one column are drawn as one stroke from their lowest to their highest
    // point, and those that cross into the next column as they are, which joins the strokes.
    static void paint(QPainter& painter, const DisplayList& list, const QSizeF& size);
    // Every segment as it is: the picture the strokes stand for.
    static void paintEverySegment(QPainter& painter, const DisplayList& list, const QSizeF& size);
};
