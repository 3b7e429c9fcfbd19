#include "RangeColumns.h"

#include <algorithm>

namespace {

struct Sum
{
    int n = 0;
    double total = 0;
    RangeColumn::Spread spread;

    void add(double v)
    {
        spread.min = n == 0 ? v : std::min(spread.min, v);
        spread.max = n == 0 ? v : std::max(spread.max, v);
        total += v;
        ++n;
    }
    RangeColumn::Spread result() const
    {
        RangeColumn::Spread s = spread;
        s.mean = n > 0 ? total / n : 0;
        return s;
    }
};

} // namespace

QVector<RangeColumn> RangeColumn::cut(const QVector<MinuteRow>& rows, qint64 from, qint64 to,
                                      int count)
{
    QVector<RangeColumn> columns(count);
    struct Sums
    {
        Sum watts, volts, rpm, wind;
    };
    QVector<Sums> sums(count);
    const qint64 span = to - from;
    for (int i = 0; i < count; ++i)
        columns[i].start = from + span * i / count;
    for (const MinuteRow& row : rows) {
        if (row.start < from || row.start >= to)
            continue;
        // The column whose start is the last at or before the minute's.
        const int i = int(std::upper_bound(columns.begin(), columns.end(), row.start,
                                           [](qint64 t, const RangeColumn& c) { return t < c.start; }) -
                          columns.begin()) - 1;
        ++columns[i].minutes;
        sums[i].watts.add(row.watts);
        sums[i].volts.add(row.volts);
        sums[i].rpm.add(row.rpm);
        if (row.wind)
            sums[i].wind.add(*row.wind);
    }
    for (int i = 0; i < count; ++i) {
        columns[i].watts = sums[i].watts.result();
        columns[i].volts = sums[i].volts.result();
        columns[i].rpm = sums[i].rpm.result();
        if (sums[i].wind.n > 0)
            columns[i].wind = sums[i].wind.result();
    }
    return columns;
}
