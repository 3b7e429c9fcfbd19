#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

// The records of one history query and the view drawn from them. About 500 KB: keep it
// on the heap (a member of the window, or std::make_unique in tests).
struct HistoryData
{
    // Indices 0 to 10000; a query stores its n-th record at index n and never writes index 0.
    static constexpr int Capacity = 10001;
    // A query stops at the record after this one, so at most this many are ever stored.
    static constexpr int MaxRecords = 9999;

    std::array<double, Capacity> HistoryTimes{}; // day fractions, 0.5 is 12:00
    std::array<double, Capacity> HistoryVolts{};
    std::array<double, Capacity> HistoryAmps{};
    std::array<double, Capacity> HistoryWatts{};
    std::array<double, Capacity> HistoryRpm{};
    std::array<double, Capacity> HistoryWind{};
    std::array<qint16, Capacity> HistoryModes{};
    qint16 HistoryCount = 0;
    double ViewFirst = 0;
    double ViewLast = 0;
    bool zoomed = false; // a drag has narrowed the view; the next one is ignored

    // Records that really hold this query's values: a query stopped at the limit counts
    // 10000 but stored 9999.
    int loadedCount() const;

    // A position kept within 1 to loadedCount(); NaN goes to 1. Positions stay doubles
    // because a mouse selection need not fall on whole records.
    double clampPosition(double position) const;

    // The record a position stands for: nearest whole number, halves to even, clamped to
    // the loaded records. Only meaningful when loadedCount() is at least 1.
    int recordIndex(double position) const;

    // A day fraction as HH:mm on the 24-hour clock, the form of the log's time tag.
    static QString shortTime(double dayFraction);
};
