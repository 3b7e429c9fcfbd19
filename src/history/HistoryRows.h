#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

struct HistoryData;

// The rows of the record list: a copy of the view's records, turned into text only when a
// cell is shown, so a 9,999-row list costs little until it is scrolled. A copy, because a
// later query may overwrite the arrays without redrawing the list.
class HistoryRows
{
public:
    // Column 0 is the row's own text and stays empty; 1 to 7 carry the record.
    enum Column {
        ItemColumn,
        ModeColumn,
        VoltsColumn,
        AmpsColumn,
        WattsColumn,
        RpmColumn,
        WindColumn,
        TimeColumn,
        ColumnCount
    };

    void append(const HistoryData& data, int index);
    void reserve(int rows) { m_records.reserve(size_t(rows)); }
    int size() const { return int(m_records.size()); }
    bool isEmpty() const { return m_records.empty(); }

    // The cell's text, each followed by one space; empty outside the rows and columns.
    QString cell(int row, int column) const;
    // The index the row was copied from.
    int recordIndex(int row) const;

private:
    struct Record
    {
        double volts;
        double amps;
        double watts;
        double rpm;
        double wind;
        double time;
        int index;
        qint16 mode;
    };
    std::vector<Record> m_records;
};
