#pragma once

#include "station/StationServices.h"
#include "ui/UserMessages.h"

// What the windows get from the outside world: the station's services and message boxes.
struct AppServices : StationServices
{
    UserMessages* messages = nullptr;
};
