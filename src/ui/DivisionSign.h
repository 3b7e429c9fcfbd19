#pragma once

#include <QWidget>

// The small division sign between a raw value and its divider in the calibration sums,
// drawn from the widget's size so it stays crisp at any DPI.
class DivisionSign : public QWidget
{
    Q_OBJECT

public:
    explicit DivisionSign(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
