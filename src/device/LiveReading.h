#pragma once

#include "Conversion.h"
#include "Reading.h"

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>

// The main window's device state: the Reading, the calibration in force, and what the
// watt-hour step needs to know about time.
class LiveReading
{
public:
    const Reading& reading() const { return m_reading; }
    Reading& reading() { return m_reading; }

    void setCalibration(const CalibrationSettings& settings);

    // Decodes a complete frame and converts it. True when the conversion ran to its end, so
    // the live display should show the new values.
    bool handleFrame(QByteArrayView frame, const QDateTime& now, bool loggingOn);

    // Every 5 seconds: adds the energy of 5 s at the present power to the day's count (which
    // day that is, the station decides). Nothing is added before the first converted frame or
    // when none has come in the last 60 s, so an unplugged logger counts no energy.
    void wattHourStep(const QDateTime& now);
    // Kilowatt-hours produced over the plant's life: the same steps as the day's count, but
    // positive watts only, so it never goes down and never restarts.
    double producedKWh() const { return m_producedKWh; }
    void continueProduction(double kilowattHours) { m_producedKWh = kilowattHours; }

    static constexpr qint64 StalePowerMs = 60 * 1000;

    // While a dialog holds the port no frame can come in: the last watts go on counting as
    // before it, and the 60 s limit counts only the time the port was ours.
    void lendPort(const QDateTime& now);
    void takePortBack(const QDateTime& now);

private:
    Reading m_reading;
    CalibrationNumbers m_calibration;
    QDateTime m_lastConverted;
    QDateTime m_lentAt;
    double m_producedKWh = 0;
};
