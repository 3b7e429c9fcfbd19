#include "PlotPainter.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Boxes lie under every line, so they go first; lines follow one colour at a time, in the
// order the colours first appear, one drawing call per colour.
struct Layers
{
    QVector<QRectF> boxes;
    QVector<QRgb> boxColours;
    QVector<QRgb> colours;
    QVector<QVector<QLineF>> lines;

    QVector<QLineF>& linesOf(QRgb colour)
    {
        int group = colours.indexOf(colour);
        if (group < 0) {
            group = colours.size();
            colours.append(colour);
            lines.append(QVector<QLineF>());
        }
        return lines[group];
    }

    // Boxes side by side at the same height are one box.
    void addBox(const QRectF& box, QRgb colour)
    {
        if (!boxes.isEmpty() && boxColours.last() == colour) {
            QRectF& last = boxes.last();
            if (last.top() == box.top() && last.bottom() == box.bottom() &&
                last.right() == box.left()) {
                last.setRight(box.right());
                return;
            }
        }
        boxes.append(box);
        boxColours.append(colour);
    }

    void paint(QPainter& painter, const QSizeF& size) const
    {
        painter.fillRect(QRectF(QPointF(0, 0), size), QColor::fromRgb(PlotPainter::Background));
        for (int i = 0; i < boxes.size(); ++i)
            painter.fillRect(boxes[i], QColor::fromRgb(boxColours[i]));
        for (int g = 0; g < colours.size(); ++g) {
            painter.setPen(QPen(QColor::fromRgb(colours[g]), 1));
            painter.drawLines(lines[g]);
        }
    }
};

// One pixel column of a series: the span of the segments that fall within it.
struct Column
{
    int index = INT_MIN;
    double x = 0;
    double top = 0;
    double bottom = 0;
};

int firstShown(const DisplayList& list)
{
    for (int i = list.size() - 1; i >= 0; --i) {
        if (list[i].kind == PlotItem::Kind::Clear)
            return i + 1;
    }
    return 0;
}

Layers layersOf(const DisplayList& list, const QSizeF& size, bool everySegment)
{
    const double w = size.width();
    const double h = size.height();
    const auto at = [w, h](const QPointF& p) { return QPointF(p.x() * w, p.y() * h); };
    Layers layers;
    QVector<QRgb> columnColours;
    QVector<Column> columns;
    const auto flush = [&layers](QRgb colour, Column& c) {
        if (c.index != INT_MIN)
            layers.linesOf(colour).append(QLineF(c.x, c.top, c.x, c.bottom));
        c.index = INT_MIN;
    };
    for (int i = firstShown(list); i < list.size(); ++i) {
        const PlotItem& item = list[i];
        const QPointF p1 = at(item.p1);
        const QPointF p2 = at(item.p2);
        if (item.kind == PlotItem::Kind::Box) {
            layers.addBox(QRectF(p1, p2).normalized(), item.colour);
            continue;
        }
        const int column = int(std::floor(p1.x()));
        if (everySegment || column != int(std::floor(p2.x()))) {
            layers.linesOf(item.colour).append(QLineF(p1, p2));
            continue;
        }
        int series = columnColours.indexOf(item.colour);
        if (series < 0) {
            series = columnColours.size();
            columnColours.append(item.colour);
            columns.append(Column());
        }
        Column& c = columns[series];
        if (c.index != column) {
            flush(item.colour, c);
            c = {column, p1.x(), p1.y(), p1.y()};
        }
        c.top = std::min({c.top, p1.y(), p2.y()});
        c.bottom = std::max({c.bottom, p1.y(), p2.y()});
    }
    for (int s = 0; s < columns.size(); ++s)
        flush(columnColours[s], columns[s]);
    return layers;
}

} // namespace

void PlotPainter::paint(QPainter& painter, const DisplayList& list, const QSizeF& size)
{
    layersOf(list, size, false).paint(painter, size);
}

void PlotPainter::paintEverySegment(QPainter& painter, const DisplayList& list, const QSizeF& size)
{
    layersOf(list, size, true).paint(painter, size);
}
