#include "RangeColumns.h"

#include <algorithm>

void RangeColumns::Sum::add(double v)
{
    spread.min = n == 0 ? v : std::min(spread.min, v);
    spread.max = n == 0 ? v : std::max(spread.max, v);
    total += v;
    ++n;
}

RangeColumn::Spread RangeColumns::Sum::result() const
{
    RangeColumn::Spread s = spread;
    s.mean = n > 0 ? total / n : 0;
    return s;
}

RangeColumns::RangeColumns(qint64 from, qint64 to, int count)
    : m_from(from), m_span(to - from), m_columns(count), m_sums(count)
{
    for (int i = 0; i < count; ++i)
        m_columns[i].start = from + m_span * i / count;
}

void RangeColumns::add(const MinuteRow& row)
{
    const qint64 offset = row.start - m_from;
    if (offset < 0 || offset >= m_span)
        return;
    // The last column starting at or before the minute: start(i) = floor(span * i / count) <= offset
    // holds exactly while i * span < (offset + 1) * count.
    const qint64 count = m_columns.size();
    const int i = int(((offset + 1) * count - 1) / m_span);
    ++m_columns[i].minutes;
    m_sums[i].watts.add(row.watts);
    m_sums[i].volts.add(row.volts);
    m_sums[i].rpm.add(row.rpm);
    if (row.wind)
        m_sums[i].wind.add(*row.wind);
}

QVector<RangeColumn> RangeColumns::columns() const
{
    QVector<RangeColumn> columns = m_columns;
    for (int i = 0; i < columns.size(); ++i) {
        columns[i].watts = m_sums[i].watts.result();
        columns[i].volts = m_sums[i].volts.result();
        columns[i].rpm = m_sums[i].rpm.result();
        if (m_sums[i].wind.n > 0)
            columns[i].wind = m_sums[i].wind.result();
    }
    return columns;
}
