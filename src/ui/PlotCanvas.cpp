#include "PlotCanvas.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor background(64, 64, 64);

} // namespace

PlotCanvas::PlotCanvas(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

void PlotCanvas::setList(DisplayList list)
{
    m_list = std::move(list);
    update();
}

void PlotCanvas::append(const PlotItem& item)
{
    m_list.append(item);
    update();
}

void PlotCanvas::paintEvent(QPaintEvent*)
{
    const double w = width();
    const double h = height();
    const auto at = [w, h](const QPointF& p) { return QPointF(p.x() * w, p.y() * h); };

    QPainter painter(this);
    painter.fillRect(rect(), background);
    // Only what follows the last clearing is visible; earlier items were wiped by it.
    int first = 0;
    for (int i = m_list.size() - 1; i >= 0; --i) {
        if (m_list[i].kind == PlotItem::Kind::Clear) {
            first = i + 1;
            break;
        }
    }
    // Boxes lie under every line, so they go first. Lines are then drawn one colour at a
    // time, in the order the colours first appear: a whole day is tens of thousands of
    // segments, and one call per colour keeps a repaint fast.
    QVector<QRgb> colours;
    QVector<QVector<QLineF>> lines;
    for (int i = first; i < m_list.size(); ++i) {
        const PlotItem& item = m_list[i];
        if (item.kind == PlotItem::Kind::Box) {
            painter.fillRect(QRectF(at(item.p1), at(item.p2)).normalized(),
                             QColor::fromRgb(item.colour));
            continue;
        }
        int group = colours.indexOf(item.colour);
        if (group < 0) {
            group = colours.size();
            colours.append(item.colour);
            lines.append(QVector<QLineF>());
        }
        lines[group].append(QLineF(at(item.p1), at(item.p2)));
    }
    for (int g = 0; g < colours.size(); ++g) {
        painter.setPen(QPen(QColor::fromRgb(colours[g]), 1));
        painter.drawLines(lines[g]);
    }
}

QPointF PlotCanvas::toUserScale(const QPointF& pixel) const
{
    return {pixel.x() / qMax(1, width()) * m_extents.width,
            pixel.y() / qMax(1, height()) * m_extents.height};
}

void PlotCanvas::mousePressEvent(QMouseEvent* event)
{
    emit pressed(toUserScale(event->position()));
}

void PlotCanvas::mouseMoveEvent(QMouseEvent* event)
{
    emit moved(toUserScale(event->position()));
}

void PlotCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    emit released(toUserScale(event->position()));
}
