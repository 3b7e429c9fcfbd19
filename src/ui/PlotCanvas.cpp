#include "PlotCanvas.h"

#include "history/PlotPainter.h"

#include <QMouseEvent>
#include <QPainter>

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
    QPainter painter(this);
    PlotPainter::paint(painter, m_list, size());
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
