#pragma once

#include "common/Clock.h"
#include "device/SerialLink.h"
#include "ui/UserMessages.h"

#include <QString>
#include <functional>
#include <memory>

// What the windows get from the outside world; tests hand in doubles for each.
struct AppServices
{
    QString programDir;
    const Clock* clock = nullptr;
    UserMessages* messages = nullptr;
    // Each window that listens to the logger makes its own port with this.
    std::function<std::unique_ptr<SerialLink>()> makeLink;
};
