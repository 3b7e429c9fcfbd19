#pragma once

#include "GraphSettings.h"
#include "HistoryRows.h"
#include "PlotItem.h"

#include <QString>
#include <optional>

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
