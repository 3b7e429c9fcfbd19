#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

// The calibration dialog's four sums as plain data: what one frame shows with the dividers
// the boxes hold at that moment. It keeps the raw values of the last frame and the wind
// speed, which stands until a usable wind divider replaces it.
class CalibrationReadout
{
public:
    struct Boxes
    {
        QString voltDivider;
        QString ampDivider;
        QString rpmDivider;
        QString wsDivider;
        double offset = 0;
        QString unit;
    };

    struct Texts
    {
        QString battV;
        QString shuntV;
        QString pulses;
        QString rpm;
        QString pulses2;
        QString windSpeed;
        // Nothing when the divider is unusable: the result label keeps its last text.
        std::optional<QString> volts;
        std::optional<QString> amps;
    };

    Texts takeFrame(QByteArrayView frame, const Boxes& boxes);

    // The last raw I as shown, rounded to 2 decimals; 0 before the first frame.
    double shownShunt() const;

    // The dialog's own volts, RPM and wind readouts need dividers above 0.
    static bool usablePositive(const QString& divider);
    // What the main window can divide by: any number but 0. A negative current divider
    // reverses the current.
    static bool convertible(const QString& divider);

private:
    double m_rawVolts = 0;
    double m_rawShunt = 0;
    double m_windSpeed = 0;
};
