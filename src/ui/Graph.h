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
    void resetForOpening();

    const HistoryData& history() const { return *m_data; }
    const GraphSettings& settings() const { return m_settings; }

private:
    void buildControls();
    // Display: reads the day the boxes name and draws it, or says why not.
    void showDay();
    // The records in the view, drawn and listed again with the series now checked.
    void redraw();
    void check(QCheckBox* box);
    void checkClicked(QCheckBox* box, bool checked);
    void plotPressed(QPointF position);
    void plotMoved(QPointF position);
    void plotReleased(QPointF position);
    void showLabels(const GraphLabels& labels);
    void showReadout(const CursorReadout& readout);
    int pixels(int twips) const;

    AppServices m_services;
    std::unique_ptr<HistoryData> m_data;
    GraphSettings m_settings;
    bool m_dragging = false;
    double m_dpi = 96;

    QLineEdit* m_yearBox = nullptr;
    QLineEdit* m_monthBox = nullptr;
    QLineEdit* m_dayBox = nullptr;
    QLineEdit* m_fromHourBox = nullptr;
    QLineEdit* m_fromMinuteBox = nullptr;
    QLineEdit* m_toHourBox = nullptr;
    QLineEdit* m_toMinuteBox = nullptr;
    QTableView* m_recordList = nullptr;
    HistoryTableModel* m_model = nullptr;
    PlotCanvas* m_plot = nullptr;
    QMap<QString, QLabel*> m_labels;
    QCheckBox* m_checkBoxes[6] = {};
};
