#include "Lamp.h"

#include <QPainter>

Lamp::Lamp(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void Lamp::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    update();
}

QColor Lamp::colour() const
{
    switch (m_state) {
    case State::Red:
        return QColor(255, 0, 0);
    case State::Error:
        return QColor(255, 140, 0); // amber: a record could not be written in full
    case State::Normal:
        break;
    }
    return palette().color(QPalette::Button);
}

void Lamp::paintEvent(QPaintEvent*)
{
    const QRect box = rect().adjusted(0, 0, -1, -1);
    QPainter painter(this);
    // Face first, then a raised bevel so it still reads as a button.
    painter.fillRect(box, colour());
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(box.topLeft(), box.topRight());
    painter.drawLine(box.topLeft(), box.bottomLeft());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(box.bottomLeft(), box.bottomRight());
    painter.drawLine(box.topRight(), box.bottomRight());
}
