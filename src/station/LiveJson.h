#pragma once

#include "device/Reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The live reading as JSON, in the names the dashboard's /api/live and the broker's state
// message share: "time", "volts", "amps", "watts", the day's energy members each reader
// brings, "rpm", "wind", "wind_unit", "mode", then the reader's own members. Written by hand:
// it runs at every frame, where QJsonDocument and QDateTime::toString cost tens of
// microseconds.
class LiveJson
{
public:
    // energy and extra are members already written, each starting with a comma.
    static QByteArray object(const Reading& reading, const QString& windUnit,
                             const QDateTime& frameTime, const QByteArray& energy,
                             const QByteArray& extra = {});

    static QByteArray string(const QString& text);
    // A number as the files write it; null when it is not finite.
    static QByteArray number(double value);
    // Local date and time to the second, with the offset from UTC when asked; null when
    // invalid.
    static QByteArray time(const QDateTime& time, bool withOffset = false);
};
