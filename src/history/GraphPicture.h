#pragma once

#include "HistoryRows.h"
#include "PlotItem.h"

#include <QString>
#include <optional>

// The series switches and the wind speed unit of the history window.
struct GraphSettings
{
    bool ShowVolts = false;
    bool ShowAmps = false;
    bool ShowWatts = false;
    bool ShowRpm = false;
    bool ShowWind = false;
    bool RefVoltsToZero = false;
    QString WSUnits;
};

struct GraphLabels
{
    QString start;
    QString finish;
    QString voltsMax;
    QString voltsMin;
    QString ampsMax;
    QString ampsMin;
    QString wattsMax;
    QString wattsMin;
    QString rpmMax;
    QString rpmMin;
    QString windMax;
    QString windMin;
};

// Everything one DrawGraph call leaves on the window.
struct GraphPicture
{
    DisplayList plot; // replaces the canvas' list: it always starts with Clear
    HistoryRows rows; // replaces the record list
    // Empty when the view holds no span: the labels keep their texts.
    std::optional<GraphLabels> labels;
    // In force after the call; mouse positions and later drawing calls use them.
    PlotExtents extents;
};
