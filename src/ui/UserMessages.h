#pragma once

#include <QString>

// An OK-only message box with a fixed text. Tests record the texts instead of blocking.
class UserMessages
{
public:
    virtual ~UserMessages() = default;
    virtual void show(const QString& text) = 0;
};
