#include "HistoryTableModel.h"

HistoryTableModel::HistoryTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void HistoryTableModel::setRows(HistoryRows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void HistoryTableModel::setWindUnits(const QString& units)
{
    m_windUnits = units;
    emit headerDataChanged(Qt::Horizontal, HistoryRows::WindColumn, HistoryRows::WindColumn);
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(HistoryRows::ColumnCount);
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return QVariant();
    return m_rows.cell(index.row(), index.column());
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    switch (section) {
    case HistoryRows::ModeColumn:
        return QStringLiteral("Mode");
    case HistoryRows::VoltsColumn:
        return QStringLiteral("Volts");
    case HistoryRows::AmpsColumn:
        return QStringLiteral("Amps");
    case HistoryRows::WattsColumn:
        return QStringLiteral("Watts");
    case HistoryRows::RpmColumn:
        return QStringLiteral("RPM");
    case HistoryRows::WindColumn:
        return m_windUnits;
    case HistoryRows::TimeColumn:
        return QStringLiteral("Time");
    default:
        return QString();
    }
}
