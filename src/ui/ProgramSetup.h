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
    void showStoredOptions();
    void save();
    void updatePortHint();

    AppServices m_services;
    // Listing the machine's ports takes tens of milliseconds, too slow for every keystroke.
    QStringList m_visiblePorts;
    QElapsedTimer m_portsListed;

    QLineEdit* m_portBox = nullptr;
    QLabel* m_portHint = nullptr;
    QCheckBox* m_savePage = nullptr;
    QCheckBox* m_saveSpreadsheet = nullptr;
    QLineEdit* m_logDelay = nullptr;
    QCheckBox* m_logOnStart = nullptr;
    QCheckBox* m_showRpm = nullptr;
    QCheckBox* m_showWind = nullptr;
    QLineEdit* m_windUnit = nullptr;
    QPushButton* m_saveButton = nullptr;
    StatusLine* m_status = nullptr;
};
