#pragma once

#include "history/PlotItem.h"

#include <QWidget>

// The history graph's drawing surface. It keeps the display list and paints it at whatever
// size the widget has, so the picture survives being covered or resized. Pointer positions
// are reported in the user scale in force, with the origin at the top left.
class PlotCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit PlotCanvas(QWidget* parent = nullptr);

    void setList(DisplayList list);
    void append(const PlotItem& item);
    const DisplayList& list() const { return m_list; }
    void setExtents(const PlotExtents& extents) { m_extents = extents; }
    const PlotExtents& extents() const { return m_extents; }

signals:
    void pressed(QPointF position);
    void moved(QPointF position);
    void released(QPointF position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointF toUserScale(const QPointF& pixel) const;

    DisplayList m_list;
    PlotExtents m_extents;
};
