#include "Calibrate.h"

#include "common/NumberParse.h"
#include "common/NumberText.h"
#include "config/CalibrationSettings.h"
#include "config/ConfigKeys.h"
#include "config/ProgramConfig.h"
#include "ui/DivisionSign.h"
#include "ui/StatusLine.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A divider read from the file shows in its shortest form (14.0 as 14); one that is not a
// number shows as stored, so the user sees what needs fixing.
QString dividerText(const QString& stored)
{
    const auto value = parseNumber(stored);
    return value ? NumberText(*value) : stored;
}

QFrame* separator(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

Calibrate::Calibrate(const AppServices& services, QWidget* parent)
    : QDialog(parent), m_services(services),
      m_port(m_services.makeLink(), QStringLiteral("MSComm2"), this)
{
    setWindowTitle(QStringLiteral("Calibration"));
    buildControls();

    connect(&m_port, &PortKeeper::frameArrived, this, &Calibrate::showFrame);
    connect(&m_port, &PortKeeper::problemChanged, this,
            [this](const QString& text) { setStatus(StatusSource::Port, text); });
    connect(m_Command2, &QPushButton::clicked, this, &Calibrate::Zero);
    connect(m_Command1, &QPushButton::clicked, this, &Calibrate::SaveCalibration);
    connect(m_Command6, &QPushButton::clicked, this, &QDialog::reject);

    Open();
}

Calibrate::~Calibrate() = default;

int Calibrate::textWidth(const char* sample) const
{
    return fontMetrics().horizontalAdvance(QString::fromLatin1(sample)) + 12;
}

void Calibrate::buildControls()
{
    auto* content = new QWidget(this);
    auto* bands = new QVBoxLayout;
    bands->setSpacing(6);

    const auto label = [content](const QString& text, const char* name = nullptr) {
        auto* l = new QLabel(text, content);
        if (name)
            l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    // Fixed widths for every part of the sums, so they line up from band to band.
    const int valueWidth = textWidth("00000.00");
    const auto rawValue = [&](const char* name) {
        QLabel* l = label(QStringLiteral("0"), name);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setFixedWidth(valueWidth);
        return l;
    };
    const auto dividerBox = [&](const char* name, const char* text) {
        auto* box = new QLineEdit(QString::fromLatin1(text), content);
        box->setObjectName(QString::fromLatin1(name));
        box->setAlignment(Qt::AlignRight);
        box->setFixedWidth(valueWidth);
        return box;
    };
    const auto result = [&](const char* name) {
        QLabel* l = label(QString(), name);
        QFont bold = l->font();
        bold.setBold(true);
        l->setFont(bold);
        l->setFixedWidth(textWidth("-00000.00 Volts"));
        return l;
    };

    // Each band: the instructions down the left, and on the right the sum
    // raw ÷ divider with "=" and the result below.
    int picture = 0;
    const auto band = [&](const QString& title, const QList<QWidget*>& lines, QLabel* raw,
                          QLineEdit* box, QLabel* res) {
        if (picture > 0)
            bands->addWidget(separator(content));
        auto* text = new QVBoxLayout;
        text->setSpacing(2);
        QLabel* heading = label(title);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        text->addWidget(heading);
        for (QWidget* line : lines)
            text->addWidget(line);

        auto* sign = new DivisionSign(content);
        sign->setObjectName(QStringLiteral("Picture%1").arg(++picture));
        QLabel* equals = label(QStringLiteral("="));
        equals->setAlignment(Qt::AlignCenter);
        equals->setFixedWidth(sign->sizeHint().width());
        // The sum keeps its own height, centred on the instructions beside it.
        auto* sumBox = new QWidget(content);
        auto* sum = new QGridLayout(sumBox);
        sum->setContentsMargins(0, 0, 0, 0);
        sum->setHorizontalSpacing(6);
        sum->setVerticalSpacing(4);
        sum->addWidget(raw, 0, 0);
        sum->addWidget(sign, 0, 1, Qt::AlignCenter);
        sum->addWidget(box, 0, 2, Qt::AlignLeft);
        sum->addWidget(equals, 1, 1);
        sum->addWidget(res, 1, 2);

        auto* row = new QHBoxLayout;
        row->addLayout(text);
        row->addSpacing(24);
        row->addStretch();
        row->addWidget(sumBox, 0, Qt::AlignVCenter);
        bands->addLayout(row);
    };

    m_txtBattV = rawValue("txtBattV");
    m_BatteryVolts = dividerBox("BatteryVolts", "0");
    m_txtBattVadjusted = result("txtBattVadjusted");
    band(QStringLiteral("Step 1. Set Voltage"),
         {label(QStringLiteral("Measure your battery voltage, and then adjust")),
          label(QStringLiteral("this value until the correct battery voltage")),
          label(QStringLiteral("is displayed"))},
         m_txtBattV, m_BatteryVolts, m_txtBattVadjusted);

    auto* zeroRow = new QWidget(content);
    auto* zeroLayout = new QHBoxLayout(zeroRow);
    zeroLayout->setContentsMargins(0, 4, 0, 0);
    m_Command2 = new QPushButton(QStringLiteral("Zero"), zeroRow);
    m_Command2->setObjectName(QStringLiteral("Command2"));
    m_OffsetV = new QLabel(QStringLiteral("0"), zeroRow);
    m_OffsetV->setObjectName(QStringLiteral("OffsetV"));
    m_OffsetV->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_OffsetV->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_OffsetV->setMinimumWidth(textWidth("00000.00"));
    zeroLayout->addWidget(m_Command2);
    zeroLayout->addWidget(m_OffsetV);
    zeroLayout->addWidget(new QLabel(QStringLiteral("Offset"), zeroRow));
    zeroLayout->addStretch();

    m_txtShuntV = rawValue("txtShuntV");
    m_BatteryCurrent = dividerBox("BatteryCurrent", "0");
    m_txtBattAadjusted = result("txtBattAadjusted");
    band(QStringLiteral("Step 2. Set Current"),
         {label(QStringLiteral("With no current flowing, press the Zero button..")),
          label(QStringLiteral("Apply a charging current, and adjust this")),
          label(QStringLiteral("value until the correct amps is displayed.")), zeroRow},
         m_txtShuntV, m_BatteryCurrent, m_txtBattAadjusted);

    m_txtPulsess = rawValue("txtPulsess");
    m_PulseDivider = dividerBox("PulseDivider", "1");
    m_txtWindmillRPM = result("txtWindmillRPM");
    band(QStringLiteral("Step 3. Set RPM"),
         {label(QStringLiteral("How many pulses per revolution?"), "Label3"),
          label(QStringLiteral("ie, for a generator giving 14 pulses per turn, type in 14."))},
         m_txtPulsess, m_PulseDivider, m_txtWindmillRPM);

    m_Label23 = label(QString(), "Label23");
    m_txtPulsess2 = rawValue("txtPulsess2");
    m_Pulse2Divider = dividerBox("Pulse2Divider", "1");
    m_txtWindSpeed = result("txtWindSpeed");
    band(QStringLiteral("Step 4. Set Wind Speed"), {m_Label23}, m_txtPulsess2, m_Pulse2Divider,
         m_txtWindSpeed);

    m_Command6 = new QPushButton(QStringLiteral("Exit ( dont save )"), content);
    m_Command6->setObjectName(QStringLiteral("Command6"));
    m_Command1 = new QPushButton(QStringLiteral("Save Calibration"), content);
    m_Command1->setObjectName(QStringLiteral("Command1"));
    // Enter in a divider box must not press Zero or Exit behind the user's back.
    for (QPushButton* button : {m_Command1, m_Command2, m_Command6})
        button->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_Command6);
    buttons->addWidget(m_Command1);

    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->addLayout(bands);
    contentLayout->addWidget(separator(content));
    contentLayout->addLayout(buttons);

    m_status = StatusLine::belowContent(this, content);
}

void Calibrate::Open()
{
    namespace K = ConfigKeys;
    ConfigReport programReport;
    const ProgramConfig program = ProgramConfig::load(m_services.programDir, &programReport);
    m_WSUnits = program.WSUnits;
    m_Port = program.portNumber();
    m_portProblem = program.portProblem();

    ConfigReport calibrationReport;
    const CalibrationSettings settings =
        CalibrationSettings::load(m_services.programDir, &calibrationReport);
    if (const auto offset = parseNumber(settings.VoltOffset)) {
        m_VoltOffset = *offset;
    } else {
        m_VoltOffset = parseNumber(CalibrationSettings::defaults().VoltOffset).value_or(0);
        calibrationReport.damagedKeys << QString::fromLatin1(K::VoltOffset);
    }

    m_Label23->setText(QStringLiteral("How many pulses per ") + m_WSUnits + QLatin1Char('?'));
    // The status wraps within the dialog's width, which a long unit text may have set; it
    // is still hidden here, so it does not count itself.
    m_status->setFixedWidth(layout()->sizeHint().width());
    setStatus(StatusSource::ProgramFile,
              StatusLine::configProblem(
                  programReport, {QString::fromLatin1(K::Port), QString::fromLatin1(K::WSUnits)}));
    setStatus(StatusSource::CalibrationFile, StatusLine::configProblem(calibrationReport));
    openPort();
    fillControls(settings);
}

void Calibrate::fillControls(const CalibrationSettings& settings)
{
    m_BatteryVolts->setText(dividerText(settings.VoltDivider));
    m_BatteryCurrent->setText(dividerText(settings.AmpDivider));
    m_OffsetV->setText(NumberText(m_VoltOffset));
    m_PulseDivider->setText(dividerText(settings.RPMDivider));
    m_Pulse2Divider->setText(settings.WSDivider);
}

void Calibrate::openPort()
{
    if (!m_Port) {
        setStatus(StatusSource::Port, m_portProblem);
        return;
    }
    m_port.open(*m_Port);
}

void Calibrate::showFrame(const QByteArray& frame)
{
    CalibrationReadout::Boxes boxes;
    boxes.voltDivider = m_BatteryVolts->text();
    boxes.ampDivider = m_BatteryCurrent->text();
    boxes.rpmDivider = m_PulseDivider->text();
    boxes.wsDivider = m_Pulse2Divider->text();
    boxes.offset = m_VoltOffset;
    boxes.unit = m_WSUnits;
    const CalibrationReadout::Texts texts = m_readout.takeFrame(frame, boxes);
    m_txtBattV->setText(texts.battV);
    m_txtShuntV->setText(texts.shuntV);
    m_txtPulsess->setText(texts.pulses);
    m_txtWindmillRPM->setText(texts.rpm);
    m_txtPulsess2->setText(texts.pulses2);
    m_txtWindSpeed->setText(texts.windSpeed);
    if (texts.volts)
        m_txtBattVadjusted->setText(*texts.volts);
    if (texts.amps)
        m_txtBattAadjusted->setText(*texts.amps);
}

void Calibrate::Zero()
{
    m_VoltOffset = m_readout.shownShunt();
    m_OffsetV->setText(NumberText(m_VoltOffset));
}

QString Calibrate::dividerWarning() const
{
    const auto quoted = [](const QLineEdit* box) {
        return QLatin1Char('"') + box->text() + QLatin1Char('"');
    };
    // Only a divider the main window cannot divide by is asked about.
    const QPair<const char*, const QLineEdit*> boxes[] = {{"Step 1. Set Voltage", m_BatteryVolts},
                                                          {"Step 2. Set Current", m_BatteryCurrent},
                                                          {"Step 3. Set RPM", m_PulseDivider},
                                                          {"Step 4. Set Wind Speed", m_Pulse2Divider}};
    QStringList steps;
    for (const auto& [step, box] : boxes) {
        if (!CalibrationReadout::convertible(box->text()))
            steps << QStringLiteral("%1: %2 is not a number other than 0.")
                         .arg(QLatin1String(step), quoted(box));
    }
    if (steps.isEmpty())
        return {};
    return steps.join(QLatin1Char('\n')) +
           QStringLiteral("\n\nWith such a divider the main window cannot convert the "
                          "readings of the device. Save anyway?");
}

void Calibrate::SaveCalibration()
{
    const QString warning = dividerWarning();
    if (!warning.isEmpty() && !m_services.messages->confirm(warning))
        return;
    CalibrationSettings settings;
    settings.VoltDivider = m_BatteryVolts->text();
    settings.VoltOffset = NumberText(m_VoltOffset);
    settings.AmpDivider = m_BatteryCurrent->text();
    settings.RPMDivider = m_PulseDivider->text();
    settings.WSDivider = m_Pulse2Divider->text();
    const QString failure = settings.save(m_services.programDir);
    if (!failure.isEmpty()) {
        m_services.messages->show(
            QStringLiteral("The calibration was not saved: settings.cfg could not be written "
                           "(%1). The old file is unchanged, and your entries are still in "
                           "the dialog.")
                .arg(failure));
        return;
    }
    accept();
}

void Calibrate::done(int result)
{
    // Saved, exited or closed by the title bar: the port goes back to the main window.
    m_port.close();
    QDialog::done(result);
}

void Calibrate::setStatus(StatusSource source, const QString& text)
{
    m_status->setLine(static_cast<int>(source), text);
}

QString Calibrate::statusText() const
{
    return m_status->text();
}
