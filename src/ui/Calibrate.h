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
    void loadFiles();
    void fillControls(const CalibrationSettings& settings);

    void openPort();
    void showFrame(const QByteArray& frame);
    void takeZeroOffset();
    void save();
    QString dividerWarning() const;

    void setStatus(StatusSource source, const QString& text);
    int textWidth(const char* sample) const;

    AppServices m_services;
    PortKeeper m_port;
    CalibrationReadout m_readout;
    std::optional<int> m_portNumber;
    QString m_portProblem;
    QString m_windUnit;
    double m_zeroOffset = 0;

    QLabel* m_rawVolts = nullptr;
    QLabel* m_rawShunt = nullptr;
    QLabel* m_rpmPulses = nullptr;
    QLabel* m_windPulses = nullptr;
    QLineEdit* m_voltDivider = nullptr;
    QLineEdit* m_ampDivider = nullptr;
    QLineEdit* m_rpmDivider = nullptr;
    QLineEdit* m_windDivider = nullptr;
    QLabel* m_voltsResult = nullptr;
    QLabel* m_ampsResult = nullptr;
    QLabel* m_rpmResult = nullptr;
    QLabel* m_windResult = nullptr;
    QLabel* m_offsetLabel = nullptr;
    QLabel* m_windQuestion = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_zeroButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    StatusLine* m_status = nullptr;
};
