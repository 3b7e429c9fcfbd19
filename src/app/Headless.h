#pragma once

#include <QString>

// The station with no window and no display, as a service runs it: logging from the start,
// every change of status said on standard error, and a clean end on SIGTERM or SIGINT.
// Returns the exit status.
// With listen set, the dashboard is served on that address too.
int runHeadless(int argc, char* argv[], const QString& programDir, const QString& listen);
