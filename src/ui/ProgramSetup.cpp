#include "ProgramSetup.h"

#include "common/NumberParse.h"
#include "common/Rounding.h"
#include "config/ProgramConfig.h"
#include "device/PortLocator.h"
#include "ui/StatusLine.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A port text the dialog accepts: a number from 1 to 8, as a whole port number.
std::optional<int> acceptedPort(const QString& text)
{
    const auto value = parseNumber(text);
    if (!value || *value < 1 || *value > 8)
        return std::nullopt;
    return toInt16(*value);
}

// 1 ticks the box and 0 clears it. Any other number (2, from older files) shows greyed and
// stays as it was unless the user clicks the box, which then holds only 0 or 1.
void showFlag(QCheckBox* box, const QString& stored)
{
    const auto value = parseNumber(stored);
    if (value && *value == 1) {
        box->setCheckState(Qt::Checked);
    } else if (value && *value == 0) {
        box->setCheckState(Qt::Unchecked);
    } else {
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
        QObject::connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });
    }
}

QString flagText(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return QStringLiteral("1");
    case Qt::PartiallyChecked:
        return QStringLiteral("2");
    default:
        return QStringLiteral("0");
    }
}

} // namespace

ProgramSetup::ProgramSetup(const AppServices& services, QWidget* parent)
    : QDialog(parent), m_services(services)
{
    setWindowTitle(QStringLiteral("Wendro Setup"));
    buildControls();
    connect(m_Command1, &QPushButton::clicked, this, &ProgramSetup::Save);
    connect(m_PortNumber, &QLineEdit::textChanged, this, &ProgramSetup::updatePortHint);
    Open();
}

void ProgramSetup::buildControls()
{
    auto* content = new QWidget(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    const int digitWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 14;

    int row = 0;
    const auto addRow = [&](const char* caption, QWidget* control, const char* note = nullptr) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption), content), row, 0);
        grid->addWidget(control, row, 1, Qt::AlignLeft);
        if (note)
            grid->addWidget(new QLabel(QString::fromLatin1(note), content), row, 2);
        ++row;
    };
    const auto textBox = [&](const char* name, int width) {
        auto* box = new QLineEdit(content);
        box->setObjectName(QString::fromLatin1(name));
        box->setFixedWidth(width);
        return box;
    };
    const auto checkBox = [&](const char* name) {
        auto* box = new QCheckBox(content);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };

    m_PortNumber = textBox("PortNumber", digitWidth);
    m_Savehtml = checkBox("Savehtml");
    m_SaveExcel = checkBox("SaveExcel");
    m_LogDelay = textBox("LogDelay", digitWidth);
    m_LogOn = checkBox("LogOn");
    m_DisplayRPM = checkBox("DisplayRPM");
    m_DisplayWS = checkBox("DisplayWS");
    m_WSUnits = textBox("WSUnits", 3 * digitWidth);

    // Under the port box: which device the number means and which ports exist, so the
    // user can pick one. It adds nothing to the file.
    m_portHint = new QLabel(content);
    m_portHint->setObjectName(QStringLiteral("PortHint"));
    m_portHint->setTextFormat(Qt::PlainText);
    m_portHint->setWordWrap(true);
    m_portHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette hintPalette = m_portHint->palette();
    hintPalette.setColor(QPalette::WindowText, palette().color(QPalette::PlaceholderText));
    m_portHint->setPalette(hintPalette);

    addRow("Com port", m_PortNumber);
    grid->addWidget(m_portHint, row++, 1, 1, 2);
    addRow("Save HTML page?", m_Savehtml, "Saved to /html folder");
    addRow("Save Excel File?", m_SaveExcel, "Saved to /Excel folder");
    addRow("Default Logging Interval", m_LogDelay, "Seconds ( 10 - 600 )");
    addRow("Start Logger Automatically?", m_LogOn);
    addRow("Display RPM?", m_DisplayRPM);
    addRow("Display Wind Speed?", m_DisplayWS);
    addRow("Wind Speed Units", m_WSUnits);
    grid->setColumnStretch(2, 1);
    grid->setColumnMinimumWidth(2, fontMetrics().horizontalAdvance(QLatin1Char('x')) * 30);

    m_Command1 = new QPushButton(QStringLiteral("Save Setings"), content);
    m_Command1->setObjectName(QStringLiteral("Command1"));
    m_Command1->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_Command1);

    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->addLayout(grid);
    contentLayout->addSpacing(6);
    contentLayout->addLayout(buttons);

    m_status = StatusLine::belowContent(this, content);
}

void ProgramSetup::Open()
{
    ConfigReport report;
    const ProgramConfig config = ProgramConfig::load(m_services.programDir, &report);
    m_PortNumber->setText(config.Port);
    showFlag(m_Savehtml, config.Savehtml);
    showFlag(m_SaveExcel, config.SaveExcel);
    m_LogDelay->setText(config.LogDelay);
    showFlag(m_LogOn, config.LogOn);
    showFlag(m_DisplayRPM, config.DisplayRPM);
    showFlag(m_DisplayWS, config.DisplayWS);
    m_WSUnits->setText(config.WSUnits);
    updatePortHint();
    // The status wraps within the dialog's width; it is still hidden here, so it does not
    // count itself.
    m_status->setFixedWidth(layout()->sizeHint().width());
    m_status->setLine(0, StatusLine::configProblem(report));
}

void ProgramSetup::updatePortHint()
{
    const QString dir = m_services.programDir;
    const auto port = acceptedPort(m_PortNumber->text());
    const QString where = port ? QStringLiteral("Port %1 is %2.")
                                     .arg(*port)
                                     .arg(PortLocator::describe(dir, *port))
                               : QStringLiteral("Type a port number from 1 to 8.");
    if (!m_portsListed.isValid() || m_portsListed.hasExpired(2000)) {
        m_visiblePorts = PortLocator::visiblePorts(dir);
        m_portsListed.start();
    }
    m_portHint->setText(where + QStringLiteral("\nSerial ports here: ") +
                        (m_visiblePorts.isEmpty() ? QStringLiteral("none")
                                                  : m_visiblePorts.join(QStringLiteral(", "))) +
                        QLatin1Char('.'));
}

void ProgramSetup::Save()
{
    if (!acceptedPort(m_PortNumber->text())) {
        m_services.messages->show(QString::fromLatin1(BadPortMessage));
        return;
    }
    ProgramConfig config;
    config.Port = m_PortNumber->text();
    config.Savehtml = flagText(m_Savehtml);
    config.SaveExcel = flagText(m_SaveExcel);
    config.LogDelay = m_LogDelay->text();
    config.LogOn = flagText(m_LogOn);
    config.DisplayRPM = flagText(m_DisplayRPM);
    config.DisplayWS = flagText(m_DisplayWS);
    config.WSUnits = m_WSUnits->text();
    const QString failure = config.save(m_services.programDir);
    if (!failure.isEmpty()) {
        m_services.messages->show(
            QStringLiteral("The setup was not saved: prog.cfg could not be written (%1). The "
                           "old file is unchanged, and your entries are still in the dialog.")
                .arg(failure));
        return;
    }
    accept();
}

QString ProgramSetup::statusText() const
{
    return m_status->text();
}
