#pragma once

#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// turbine.cfg in the program folder: the rotor, the air density and the maker's power curve,
// for the measured power curve's Cp and yearly energy. Every key is optional and the program
// never writes the file. A key whose text does not read as numbers is named and left out;
// the others are still used.
struct TurbineConfig
{
    static constexpr double StandardAirDensity = 1.225; // kg/m³ at sea level, 15 °C

    std::optional<double> rotorDiameter; // metres
    double airDensity = StandardAirDensity;
    QVector<QPointF> makerCurve; // (m/s, W), speeds ascending; empty when not given

    QString readError;       // the file is there but could not be read
    QStringList damagedKeys; // present but not numbers as the key needs them

    static QString path(const QString& programDir);
    static TurbineConfig load(const QString& programDir);
    static TurbineConfig parse(const QString& text);

    // One line for the status line, empty when the file is missing or all of it is usable.
    QString problem() const;
    // The maker's power at a wind speed: linear between its points, 0 outside them.
    double makerPower(double wind) const;
};
