#pragma once

#include "ui/AppServices.h"
#include "device/CalibrationReadout.h"
#include "station/PortKeeper.h"

#include <QDialog>
#include <memory>
#include <optional>

struct CalibrationSettings;
class QLabel;
class QLineEdit;
class QPushButton;
class StatusLine;

// The calibration dialog: live raw values from its own port, the four sums with the dividers
// as the user types them, the zero offset, and the save of settings.cfg. Run it modally with
// exec() while the main window's port is closed; it opens the port itself and closes it
// when it closes, saved or not.
class Calibrate : public QDialog
{
    Q_OBJECT

public:
    Calibrate(const AppServices& services, QWidget* parent = nullptr);
    ~Calibrate() override;

    // Everything the status line shows now, one problem a line; empty when all is well.
    QString statusText() const;

    static constexpr int PortRetryMs = PortKeeper::RetryMs;

public slots:
    void done(int result) override;

private:
    enum class StatusSource { ProgramFile, CalibrationFile, Port };

    void buildControls();
    void Open();
    void fillControls(const CalibrationSettings& settings);

    void openPort();
    void showFrame(const QByteArray& frame);
    void Zero();
    void SaveCalibration();
    QString dividerWarning() const;

    void setStatus(StatusSource source, const QString& text);
    int textWidth(const char* sample) const;

    AppServices m_services;
    PortKeeper m_port;
    CalibrationReadout m_readout;
    std::optional<int> m_Port;
    QString m_portProblem;
    QString m_WSUnits;
    double m_VoltOffset = 0;

    QLabel* m_txtBattV = nullptr;
    QLabel* m_txtShuntV = nullptr;
    QLabel* m_txtPulsess = nullptr;
    QLabel* m_txtPulsess2 = nullptr;
    QLineEdit* m_BatteryVolts = nullptr;
    QLineEdit* m_BatteryCurrent = nullptr;
    QLineEdit* m_PulseDivider = nullptr;
    QLineEdit* m_Pulse2Divider = nullptr;
    QLabel* m_txtBattVadjusted = nullptr;
    QLabel* m_txtBattAadjusted = nullptr;
    QLabel* m_txtWindmillRPM = nullptr;
    QLabel* m_txtWindSpeed = nullptr;
    QLabel* m_OffsetV = nullptr;
    QLabel* m_Label23 = nullptr;
    QPushButton* m_Command1 = nullptr;
    QPushButton* m_Command2 = nullptr;
    QPushButton* m_Command6 = nullptr;
    StatusLine* m_status = nullptr;
};
