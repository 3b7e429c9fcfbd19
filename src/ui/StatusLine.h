#pragma once

#include "config/ConfigReport.h"

#include <QLabel>
#include <QMap>

// The pale yellow problem area at the foot of a window. Each source of trouble owns one
// line, replaced as it changes; the area hides when every line is empty.
class StatusLine : public QLabel
{
    Q_OBJECT

public:
    explicit StatusLine(QWidget* parent = nullptr);
    void setLine(int source, const QString& text);
    QString line(int source) const { return m_lines.value(source); }

    // Lays out a dialog as its content over a status line at its foot, at a fixed size, and
    // returns that status line.
    static StatusLine* belowContent(QWidget* dialog, QWidget* content);

    // What a configuration reader met, limited to the keys the window uses; empty when
    // nothing is wrong.
    static QString configProblem(ConfigReport report, const QStringList& usedKeys = {});

private:
    QMap<int, QString> m_lines;
};
