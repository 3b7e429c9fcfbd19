#include "PowerCurveQuery.h"

#include "station/MinuteStore.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

PowerCurveQuery PowerCurveQuery::run(const QString& programDir, const QDate& from,
                                     const QDate& to, double width)
{
    PowerCurveQuery q;
    q.from = from;
    q.to = to;
    q.turbine = TurbineConfig::load(programDir);
    QVector<PowerCurve::Sums> sums;
    PowerCurve::LeftOut leftOut;
    const QString path = QDir(programDir).filePath(QString::fromLatin1(MinuteStore::FileName));
    // No record yet is no minutes, not a fault.
    if (QFileInfo::exists(path)) {
        MinuteStore store;
        q.problem = store.openToRead(path);
        if (q.problem.isEmpty())
            q.problem = store.powerCurveSums(QDateTime(from, QTime(0, 0)).toSecsSinceEpoch(),
                                             QDateTime(to.addDays(1), QTime(0, 0)).toSecsSinceEpoch(),
                                             width, &sums, &leftOut);
    }
    q.curve = PowerCurve::build(sums, leftOut, width, q.turbine);
    q.aep = q.curve.yearlyEnergies(q.turbine);
    return q;
}
