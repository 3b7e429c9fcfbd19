#pragma once

#include "device/Reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The payloads a station publishes. Home Assistant and other subscribers parse them, so
// their field names are a published format.

// The energy totals as they stand on disk, so that none goes back after a crash.
struct EnergyTotals
{
    QDateTime dayStart;      // the local midnight the day's count began at
    double dayWattHours = 0; // since dayStart; falls when the current is negative
    double producedKWh = 0;  // positive watts only, never going down
};

// The live reading: each value, the energy totals with the start of their day, the mode and
// the local time of the frame, with the field names of the dashboard's /api/live.
QByteArray StateJson(const Reading& reading, const QString& windUnit, const QDateTime& frameTime,
                     const EnergyTotals& totals);

// A daily log record as JSON: each value exactly as the line has it, the date and the time of
// the line, and the moment of the record to the second with its offset from UTC.
QByteArray RecordJson(const QByteArray& record, const QDateTime& time);

// Home Assistant's spelling of a wind speed unit, in any case; empty for a text it knows no
// unit by.
QString HomeAssistantWindUnit(const QString& windUnit);

struct DiscoveryMessage
{
    QString topic;
    QByteArray payload;
};

// One retained Home Assistant config per entity, all sharing one device block; the device
// links to the dashboard when there is one.
QList<DiscoveryMessage> DiscoveryMessages(const QString& station, const QString& windUnit,
                                          const QString& dashboardUrl = {});
