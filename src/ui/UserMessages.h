#pragma once

#include <QString>

// An OK-only message box with a fixed text, and a Yes/No question. Tests record the texts
// and answer the question themselves instead of blocking.
class UserMessages
{
public:
    virtual ~UserMessages() = default;
    virtual void show(const QString& text) = 0;
    // True when the user answers Yes.
    virtual bool confirm(const QString& text) = 0;
};
