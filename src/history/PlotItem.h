#pragma once

#include <QPointF>
#include <QRgb>
#include <QVector>

// The user-scale extents of the plot: x runs from 0 to width, y from 0 (top) to height.
struct PlotExtents
{
    double width = 1;
    double height = 1;
};

// One drawing call on the plot. Coordinates are fractions of the canvas (0,0 top left,
// 1,1 bottom right), taken with the extents in force when the call was made, so painting
// only scales them to the widget's size. Points past the edges are clipped by the painter.
struct PlotItem
{
    enum class Kind {
        Clear, // fill the whole canvas with its background; no points, no colour
        Line,  // segment from p1 to p2
        Box,   // filled rectangle with corners p1 and p2
    };
    Kind kind = Kind::Clear;
    QRgb colour = 0;
    QPointF p1;
    QPointF p2;

    // A drawing call in user-scale coordinates, turned into fractions of the canvas with
    // the extents in force now (the red drag line of the window is made the same way).
    static PlotItem line(QRgb colour, QPointF from, QPointF to, const PlotExtents& extents);
    static PlotItem box(QRgb colour, QPointF corner1, QPointF corner2, const PlotExtents& extents);
};

using DisplayList = QVector<PlotItem>;
