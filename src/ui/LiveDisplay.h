#pragma once

#include "device/Reading.h"
#include "config/ProgramConfig.h"

#include <QString>
#include <QVector>

// What the live display shows, as plain data: the main window only applies it.
class LiveDisplay
{
public:
    struct Row
    {
        QString value;
        QString label;
        bool operator==(const Row& other) const
        {
            return value == other.value && label == other.label;
        }
    };

    static QString waitingCaption() { return QStringLiteral("Wendro - Waiting for Signal"); }

    // The rows as the configuration is loaded, each value "0.0" until the next frame.
    static QVector<Row> startRows(const ProgramConfig& config);
    static QVector<Row> rows(const Reading& reading, const ProgramConfig& config);
    static QString modeLabel(qint16 mode);
    static QString caption(const Reading& reading);
    // 24 points for four rows, 20 for five, 18 for six.
    static int listFontPointSize(const ProgramConfig& config);
};
