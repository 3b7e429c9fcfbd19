#include "StatusLine.h"

#include <QVBoxLayout>

StatusLine::StatusLine(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("status"));
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setStyleSheet(QStringLiteral(
        "QLabel { background: #fff4c2; color: #3a2a00; border-top: 1px solid #c9b66b; "
        "padding: 3px; }"));
    hide();
}

StatusLine* StatusLine::belowContent(QWidget* dialog, QWidget* content)
{
    auto* status = new StatusLine(dialog);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(content);
    layout->addWidget(status);
    return status;
}

void StatusLine::setLine(int source, const QString& text)
{
    if (m_lines.value(source) == text)
        return;
    if (text.isEmpty())
        m_lines.remove(source);
    else
        m_lines.insert(source, text);
    const QString all = m_lines.values().join(QLatin1Char('\n'));
    setText(all);
    setVisible(!all.isEmpty());
}

QString StatusLine::configProblem(ConfigReport report, const QStringList& usedKeys)
{
    if (!usedKeys.isEmpty()) {
        const auto unused = [&usedKeys](const QString& key) { return !usedKeys.contains(key); };
        report.missingKeys.removeIf(unused);
        report.damagedKeys.removeIf(unused);
    }
    const QString text = report.describe();
    return report.readError.isEmpty() ? text : text + QStringLiteral(" (defaults used)");
}
