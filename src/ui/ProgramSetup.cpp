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
    connect(m_saveButton, &QPushButton::clicked, this, &ProgramSetup::save);
    connect(m_portBox, &QLineEdit::textChanged, this, &ProgramSetup::updatePortHint);
    showStoredOptions();
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

    m_portBox = textBox("PortNumber", digitWidth);
    m_savePage = checkBox("Savehtml");
    m_saveSpreadsheet = checkBox("SaveExcel");
    m_logDelay = textBox("LogDelay", digitWidth);
    m_logOnStart = checkBox("LogOn");
    m_showRpm = checkBox("DisplayRPM");
    m_showWind = checkBox("DisplayWS");
    m_windUnit = textBox("WSUnits", 3 * digitWidth);

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

    addRow("Com port", m_portBox);
    grid->addWidget(m_portHint, row++, 1, 1, 2);
    addRow("Save HTML page?", m_savePage, "Saved to /html folder");
    addRow("Save Excel File?", m_saveSpreadsheet, "Saved to /Excel folder");
    addRow("Default Logging Interval", m_logDelay, "Seconds ( 10 - 600 )");
    addRow("Start Logger Automatically?", m_logOnStart);
    addRow("Display RPM?", m_showRpm);
    addRow("Display Wind Speed?", m_showWind);
    addRow("Wind Speed Units", m_windUnit);
    grid->setColumnStretch(2, 1);
    grid->setColumnMinimumWidth(2, fontMetrics().horizontalAdvance(QLatin1Char('x')) * 30);

    m_saveButton = new QPushButton(QStringLiteral("Save Setings"), content);
    m_saveButton->setObjectName(QStringLiteral("Command1"));
    m_saveButton->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_saveButton);

    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->addLayout(grid);
    contentLayout->addSpacing(6);
    contentLayout->addLayout(buttons);

    m_status = StatusLine::belowContent(this, content);
}

void ProgramSetup::showStoredOptions()
{
    ConfigReport report;
    const ProgramConfig config = ProgramConfig::load(m_services.programDir, &report);
    m_portBox->setText(config.Port);
    showFlag(m_savePage, config.Savehtml);
    showFlag(m_saveSpreadsheet, config.SaveExcel);
    m_logDelay->setText(config.LogDelay);
    showFlag(m_logOnStart, config.LogOn);
    showFlag(m_showRpm, config.DisplayRPM);
    showFlag(m_showWind, config.DisplayWS);
    m_windUnit->setText(config.WSUnits);
    updatePortHint();
    // The status wraps within the dialog's width; it is still hidden here, so it does not
    // count itself.
    m_status->setFixedWidth(layout()->sizeHint().width());
    m_status->setLine(0, StatusLine::configProblem(report));
}

void ProgramSetup::updatePortHint()
{
    const QString dir = m_services.programDir;
    const auto port = acceptedPort(m_portBox->text());
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

void ProgramSetup::save()
{
    if (!acceptedPort(m_portBox->text())) {
        m_services.messages->show(QString::fromLatin1(BadPortMessage));
        return;
    }
    ProgramConfig config;
    config.Port = m_portBox->text();
    config.Savehtml = flagText(m_savePage);
    config.SaveExcel = flagText(m_saveSpreadsheet);
    config.LogDelay = m_logDelay->text();
    config.LogOn = flagText(m_logOnStart);
    config.DisplayRPM = flagText(m_showRpm);
    config.DisplayWS = flagText(m_showWind);
    config.WSUnits = m_windUnit->text();
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
