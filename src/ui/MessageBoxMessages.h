#pragma once

#include "UserMessages.h"

class QWidget;

class MessageBoxMessages : public UserMessages
{
public:
    explicit MessageBoxMessages(QWidget* parent = nullptr) : m_parent(parent) {}
    void show(const QString& text) override;
    bool confirm(const QString& text) override;

private:
    QWidget* parent() const;

    QWidget* m_parent;
};
