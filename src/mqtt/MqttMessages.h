#pragma once

#include "device/Reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The payloads a station publishes. Home Assistant and other subscribers parse them, so
// their field names are a published format.

// The live reading: each value, the day's watt-hours, the mode and the local time of the
// frame, with the field names of the dashboard's /api/live.
QByteArray StateJson(const Reading& reading, const QString& windUnit, const QDateTime& frameTime);

// A daily log record as JSON: each value exactly as the line has it, the date and the time.
QByteArray RecordJson(const QByteArray& record, const QDateTime& time);

struct DiscoveryMessage
{
    QString topic;
    QByteArray payload;
};

// One retained Home Assistant config per entity, all sharing one device block.
QList<DiscoveryMessage> DiscoveryMessages(const QString& station, const QString& windUnit);
