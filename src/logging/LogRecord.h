#pragma once

#include "common/DayStamp.h"
#include "device/Reading.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>

// The texts of the daily log. The history query reads these lines back, so their layout is a
// stored format: change it only together with the reader.

// "Load On" for mode 1, empty for every other mode.
QString ModeText(qint16 mode);

// One record: the five interval peaks, the mode and the time of day as HH:mm, ended by CR LF.
QByteArray LogRecord(const Reading& reading, const QTime& time);
