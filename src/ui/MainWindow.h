#pragma once

#include "config/ProgramConfig.h"
#include "device/LiveDisplay.h"
#include "device/LiveReading.h"
#include "logging/LogInterval.h"
#include "logging/OutputBacklog.h"
#include "ui/AppServices.h"
#include "ui/PortKeeper.h"

#include <QTimer>
#include <QWidget>
#include <memory>

class Graph;
class Lamp;
class QLabel;
class StatusLine;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The start window: live values from the logger, the lamps, the logging row and the buttons
// that open the other windows. It owns the port, the buffer and the reading for the run.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(AppServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    const Reading& reading() const { return m_live.reading(); }
    // Everything the status line shows now, one problem a line; empty when all is well.
    QString statusText() const;

    static constexpr int PortRetryMs = PortKeeper::RetryMs;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Each source of trouble owns one line of the status area, replaced as it changes.
    enum class StatusSource { FirstStart, ProgramFile, CalibrationFile, Port, Logging };

    void buildControls();
    void startUp();
    void createMissingConfigFiles();
    void LoadConfiguration();
    void openConfiguredPort();
    // Saved settings, a new port number included, take effect when a dialog closes.
    void lendPort();
    void takePortBack();
    void rebuildList();
    void showRows(const QVector<LiveDisplay::Row>& rows);

    void handleFrame(const QByteArray& frame);

    void startLoggingClicked();
    void beginLogging(const LogInterval& interval);
    void stopLogging();
    void LoggingTick();

    void showLogs();
    void programSetup();
    void calibrate();
    void resetLamps();
    void wattHourStep();
    void setStatus(StatusSource source, const QString& text);
    int tw(int twips) const;

    AppServices m_services;
    ProgramConfig m_config;
    LiveReading m_live;
    // Records the disk could not take yet, written by a later tick.
    OutputBacklog m_backlog;
    PortKeeper m_port;
    double m_dpi = 96;

    QTreeWidget* m_ListView1 = nullptr;
    QLabel* m_txtMode = nullptr;
    Lamp* m_BlinkData = nullptr;
    Lamp* m_BlinkLog = nullptr;
    QLineEdit* m_delay = nullptr;
    QPushButton* m_StartLogging = nullptr;
    QPushButton* m_StopLogging = nullptr;
    QPushButton* m_Setup = nullptr;
    QPushButton* m_CalibrateButton = nullptr;
    QPushButton* m_ShowLogs = nullptr;
    QPushButton* m_Exit = nullptr;
    StatusLine* m_status = nullptr;
    // One history window for the run, so its records and view survive between openings.
    Graph* m_graph = nullptr;

    QTimer m_Timer1;
    QTimer m_Timer2;
    QTimer m_Timer3;
};
