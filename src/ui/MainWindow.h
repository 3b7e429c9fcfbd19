#pragma once

#include "ui/LiveDisplay.h"
#include "station/Station.h"
#include "ui/AppServices.h"

#include <QTimer>
#include <QWidget>

class Graph;
class Lamp;
class QLabel;
class StatusLine;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The start window: a view of the station with its live values, the lamps, the logging row
// and the buttons that open the other windows.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    MainWindow(Station& station, AppServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    const Reading& reading() const { return m_station.reading(); }
    // Everything the status line shows now, one problem a line; empty when all is well.
    QString statusText() const;

private:
    void buildControls();
    void rebuildList();
    void showRows(const QVector<LiveDisplay::Row>& rows);
    void showReading();
    void showFrameSeen();
    void showRecordWritten(bool ok);
    void showLoggingStarted(const QString& delayText);
    void showLoggingStopped();

    void startLoggingClicked();
    void showLogs();
    void programSetup();
    void calibrate();
    void resetLamps();
    int tw(int twips) const;

    Station& m_station;
    AppServices m_services;
    double m_dpi = 96;

    QTreeWidget* m_valueList = nullptr;
    QLabel* m_modeLabel = nullptr;
    Lamp* m_dataLamp = nullptr;
    Lamp* m_logLamp = nullptr;
    QLineEdit* m_delayBox = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QPushButton* m_setupButton = nullptr;
    QPushButton* m_calibrateButton = nullptr;
    QPushButton* m_showLogsButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    StatusLine* m_status = nullptr;
    // One history window for the run, so its records and view survive between openings.
    Graph* m_graph = nullptr;
    // Puts the lamps back a quarter of a second after they flashed.
    QTimer m_lampTimer;
};
