#include "MessageBoxMessages.h"

#include <QApplication>
#include <QMessageBox>

void MessageBoxMessages::show(const QString& text)
{
    QWidget* parent = m_parent ? m_parent : QApplication::activeWindow();
    QMessageBox::information(parent, QStringLiteral("Wendro"), text, QMessageBox::Ok);
}
