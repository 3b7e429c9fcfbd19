#pragma once

#include "history/CursorReadout.h"
#include "history/DrawGraph.h"
#include "history/HistoryData.h"
#include "ui/AppServices.h"

#include <QDialog>
#include <QMap>
#include <memory>

class HistoryTableModel;
class PlotCanvas;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The log history window: a day and a time window are loaded from the daily log, listed
// and drawn; the graph zooms once by dragging and reads values off under the pointer. Each
// opening starts from no records.
class Graph : public QDialog
{
    Q_OBJECT

public:
    explicit Graph(const AppServices& services, QWidget* parent = nullptr);
    ~Graph() override;

    // The opening steps: today's date, the series from prog.cfg, the list's columns.
    void Load();

    const HistoryData& history() const { return *m_data; }
    const GraphSettings& settings() const { return m_settings; }

private:
    void buildControls();
    void HistoryQuery();
    void DrawGraph();
    void check(QCheckBox* box);
    void checkClicked(QCheckBox* box, bool checked);
    void plotPressed(QPointF position);
    void plotMoved(QPointF position);
    void plotReleased(QPointF position);
    void showLabels(const GraphLabels& labels);
    void showReadout(const CursorReadout& readout);
    int tw(int twips) const;

    AppServices m_services;
    std::unique_ptr<HistoryData> m_data;
    GraphSettings m_settings;
    qint16 m_MouseIsDown = 0;
    double m_dpi = 96;

    QLineEdit* m_DateY1 = nullptr;
    QLineEdit* m_DateM1 = nullptr;
    QLineEdit* m_DateD1 = nullptr;
    QLineEdit* m_Time1h = nullptr;
    QLineEdit* m_Time1m = nullptr;
    QLineEdit* m_Time2h = nullptr;
    QLineEdit* m_Time2m = nullptr;
    QTableView* m_ListView1 = nullptr;
    HistoryTableModel* m_model = nullptr;
    PlotCanvas* m_Plot = nullptr;
    QMap<QString, QLabel*> m_labels;
    QCheckBox* m_checks[6] = {};
};
