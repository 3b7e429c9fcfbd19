#pragma once

#include "mqtt/BrokerSettings.h"

#include <QString>
#include <optional>

// The station with no window and no display, as a service runs it: logging from the start,
// every change of status said on standard error, and a clean end on SIGTERM or SIGINT.
// With listen set, the dashboard is served on that address too; with a broker, it
// publishes there too. Returns the exit status.
int runHeadless(int argc, char* argv[], const QString& programDir, const QString& listen,
                const std::optional<BrokerSettings>& broker);
