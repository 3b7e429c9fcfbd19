#pragma once

#include "analysis/MinuteAverages.h"

#include <QVector>
#include <optional>

// Minute rows over a span of time, cut into equal columns for a chart: per column its start,
// how many minutes it holds and, per quantity, the lowest, mean and highest of the minute means
// (each minute counting once).
struct RangeColumn
{
    struct Spread
    {
        double min = 0;
        double mean = 0;
        double max = 0;
    };
    qint64 start = 0;
    int minutes = 0;
    Spread watts, volts, rpm;
    std::optional<Spread> wind; // none when no minute of the column has a wind
};

// Takes the rows one at a time, so a year of minutes is never held at once.
class RangeColumns
{
public:
    RangeColumns(qint64 from, qint64 to, int count);
    void add(const MinuteRow& row);
    QVector<RangeColumn> columns() const;

private:
    struct Sum
    {
        int n = 0;
        double total = 0;
        RangeColumn::Spread spread;
        void add(double v);
        RangeColumn::Spread result() const;
    };
    struct Sums
    {
        Sum watts, volts, rpm, wind;
    };
    qint64 m_from;
    qint64 m_span;
    QVector<RangeColumn> m_columns;
    QVector<Sums> m_sums;
};
