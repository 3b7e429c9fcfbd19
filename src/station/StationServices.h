#pragma once

#include "common/Clock.h"
#include "device/SerialLink.h"

#include <QString>
#include <functional>
#include <memory>

// What the running plant gets from the outside world; tests hand in doubles for each.
struct StationServices
{
    QString programDir;
    const Clock* clock = nullptr;
    // Each owner of a port (the station, the calibration dialog) makes its own with this.
    std::function<std::unique_ptr<SerialLink>()> makeLink;
};
