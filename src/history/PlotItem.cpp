#include "PlotItem.h"

#include <algorithm>
#include <cmath>

namespace {

// Kept within a few canvas sizes so the painter's pixel arithmetic stays finite; what lies
// past the edges is clipped anyway.
double fraction(double value, double extent)
{
    const double f = value / extent;
    if (std::isnan(f))
        return 0;
    return std::clamp(f, -1.0, 2.0);
}

QPointF normalised(QPointF point, const PlotExtents& extents)
{
    return {fraction(point.x(), extents.width), fraction(point.y(), extents.height)};
}

} // namespace

PlotItem PlotItem::line(QRgb colour, QPointF from, QPointF to, const PlotExtents& extents)
{
    return {Kind::Line, colour, normalised(from, extents), normalised(to, extents)};
}

PlotItem PlotItem::box(QRgb colour, QPointF corner1, QPointF corner2, const PlotExtents& extents)
{
    return {Kind::Box, colour, normalised(corner1, extents), normalised(corner2, extents)};
}
