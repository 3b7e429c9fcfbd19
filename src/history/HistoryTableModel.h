#pragma once

#include "HistoryRows.h"

#include <QAbstractTableModel>

// The record list of the history window. Cells are made into text only when the view asks
// for them, so replacing 9,999 rows is one reset and nothing more.
class HistoryTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit HistoryTableModel(QObject* parent = nullptr);

    void setRows(HistoryRows rows);
    // The heading of the wind speed column is the unit text from prog.cfg.
    void setWindUnits(const QString& units);
    const HistoryRows& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    HistoryRows m_rows;
    QString m_windUnits;
};
