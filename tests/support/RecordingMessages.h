#pragma once

#include "ui/UserMessages.h"

#include <QStringList>

// Keeps every message box text instead of showing it.
class RecordingMessages : public UserMessages
{
public:
    void show(const QString& text) override { shown << text; }
    QStringList shown;
};
