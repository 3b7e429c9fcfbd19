#pragma once

#include "common/Clock.h"

// A clock that stands still until a test moves it.
class SettableClock : public Clock
{
public:
    explicit SettableClock(QDateTime start = QDateTime(QDate(2010, 3, 7), QTime(12, 0)))
        : m_now(std::move(start))
    {
    }
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }
    void advanceSecs(qint64 secs) { m_now = m_now.addSecs(secs); }

private:
    QDateTime m_now;
};
