#include "DivisionSign.h"

#include <QPainter>

DivisionSign::DivisionSign(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize DivisionSign::sizeHint() const
{
    const int side = qMax(14, fontMetrics().height());
    return {side, side};
}

void DivisionSign::paintEvent(QPaintEvent*)
{
    // Geometry: a square centred in the widget; bar and dots scale with its side.
    const int side = qMin(width(), height());
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double half = side * 0.36;
    const double bar = qMax(1.5, side * 0.11);
    const double dot = qMax(1.5, side * 0.09);
    const double gap = side * 0.25;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                     QPalette::WindowText));

    // Layer 1: the bar. Layer 2: the dots above and below it.
    painter.drawRect(QRectF(centre.x() - half, centre.y() - bar / 2, 2 * half, bar));
    painter.drawEllipse(QPointF(centre.x(), centre.y() - gap), dot, dot);
    painter.drawEllipse(QPointF(centre.x(), centre.y() + gap), dot, dot);
}
