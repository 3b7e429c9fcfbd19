#include "HistoryRows.h"

#include "HistoryData.h"
#include "common/NumberText.h"

void HistoryRows::append(const HistoryData& data, int index)
{
    m_records.push_back({data.HistoryVolts[index], data.HistoryAmps[index],
                         data.HistoryWatts[index], data.HistoryRpm[index], data.HistoryWind[index],
                         data.HistoryTimes[index], index, data.HistoryModes[index]});
}

QString HistoryRows::cell(int row, int column) const
{
    if (row < 0 || row >= size())
        return QString();
    const Record& record = m_records[size_t(row)];
    const QLatin1Char space(' ');
    switch (column) {
    case ModeColumn:
        return QString::number(record.mode) + space;
    case VoltsColumn:
        return NumberText(record.volts) + space;
    case AmpsColumn:
        return NumberText(record.amps) + space;
    case WattsColumn:
        return NumberText(record.watts) + space;
    case RpmColumn:
        return NumberText(record.rpm) + space;
    case WindColumn:
        return NumberText(record.wind) + space;
    case TimeColumn:
        return HistoryData::shortTime(record.time) + space;
    default:
        return QString();
    }
}

int HistoryRows::recordIndex(int row) const
{
    return row >= 0 && row < size() ? m_records[size_t(row)].index : 0;
}
