#pragma once

#include "ui/AppServices.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QStringList>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class StatusLine;

// The program setup dialog: the options of prog.cfg, shown as stored and written back whole
// by "Save Setings". Run it modally with exec(); it is accepted only when the file was saved,
// and closing it any other way leaves the file untouched.
class ProgramSetup : public QDialog
{
    Q_OBJECT

public:
    static constexpr char BadPortMessage[] =
        "There is a bad number for Port Number. Must be between 1 and 8 ( 1 or 2 most common )";

    ProgramSetup(const AppServices& services, QWidget* parent = nullptr);

    // The file problem the dialog opened with; empty when the file was read whole.
    QString statusText() const;

private:
    void buildControls();
    void Open();
    void Save();
    void updatePortHint();

    AppServices m_services;
    // Listing the machine's ports takes tens of milliseconds, too slow for every keystroke.
    QStringList m_visiblePorts;
    QElapsedTimer m_portsListed;

    QLineEdit* m_PortNumber = nullptr;
    QLabel* m_portHint = nullptr;
    QCheckBox* m_Savehtml = nullptr;
    QCheckBox* m_SaveExcel = nullptr;
    QLineEdit* m_LogDelay = nullptr;
    QCheckBox* m_LogOn = nullptr;
    QCheckBox* m_DisplayRPM = nullptr;
    QCheckBox* m_DisplayWS = nullptr;
    QLineEdit* m_WSUnits = nullptr;
    QPushButton* m_Command1 = nullptr;
    StatusLine* m_status = nullptr;
};
