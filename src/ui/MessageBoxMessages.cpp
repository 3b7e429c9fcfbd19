#include "MessageBoxMessages.h"

#include <QApplication>
#include <QMessageBox>

QWidget* MessageBoxMessages::parent() const
{
    return m_parent ? m_parent : QApplication::activeWindow();
}

void MessageBoxMessages::show(const QString& text)
{
    QMessageBox::information(parent(), QStringLiteral("Wendro"), text, QMessageBox::Ok);
}

bool MessageBoxMessages::confirm(const QString& text)
{
    // No is the default, so a stray Enter never writes what the user was warned about.
    return QMessageBox::question(parent(), QStringLiteral("Wendro"), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}
