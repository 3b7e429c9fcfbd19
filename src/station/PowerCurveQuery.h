#pragma once

#include "analysis/PowerCurve.h"
#include "config/TurbineConfig.h"

#include <QDate>
#include <QString>
#include <QVector>

// The measured power curve of a program folder over whole local days, from local midnight of
// from to the midnight after to: the minute record read only, a minute at a time, and
// turbine.cfg read afresh each time, since owners edit it while the service runs. Touches
// nothing else, so the command line and a web worker can both run it.
struct PowerCurveQuery
{
    QDate from;
    QDate to;
    TurbineConfig turbine;
    PowerCurve curve;
    QVector<PowerCurve::Aep> aep;
    // Minutes used, (wind, watts), at most ScatterPoints of them, spread over the span.
    static constexpr int ScatterPoints = 2000;
    QVector<QPointF> points;
    QString problem; // the minute record could not be read; empty when it could or is absent

    static PowerCurveQuery run(const QString& programDir, const QDate& from, const QDate& to,
                               double width);
};
