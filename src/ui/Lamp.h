#pragma once

#include <QAbstractButton>
#include <QColor>

// A small square button whose face colour is an indicator lamp.
class Lamp : public QAbstractButton
{
    Q_OBJECT

public:
    enum class State { Normal, Red, Error };

    explicit Lamp(QWidget* parent = nullptr);
    State state() const { return m_state; }
    void setState(State state);
    QColor colour() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    State m_state = State::Normal;
};
