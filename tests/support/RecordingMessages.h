#pragma once

#include "ui/UserMessages.h"

#include <QStringList>

// Keeps every message box text instead of showing it, and answers questions with answer.
class RecordingMessages : public UserMessages
{
public:
    void show(const QString& text) override { shown << text; }
    bool confirm(const QString& text) override
    {
        asked << text;
        return answer;
    }
    QStringList shown;
    QStringList asked;
    bool answer = true;
};
