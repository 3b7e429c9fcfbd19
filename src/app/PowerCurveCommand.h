#pragma once

#include <QString>

// wendro --power-curve FROM TO: the measured power curve and its yearly energy of a program
// folder as text on standard output, for a report. Reads the minute record read-only and
// turbine.cfg; opens no window, no port and takes no lock. Returns the exit status: 0, or 2
// with a message on standard error for dates that are not dates, or no minutes to use.
int runPowerCurve(const QString& programDir, const QString& from, const QString& to);
