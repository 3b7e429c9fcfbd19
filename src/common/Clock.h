#pragma once

#include <QDateTime>

// Where the program learns the local date and time; tests put in a clock they can set.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};
