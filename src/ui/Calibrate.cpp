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
      m_port(m_services.makeLink(), QStringLiteral("calibrationPort"), this)
{
    setWindowTitle(QStringLiteral("Calibration"));
    buildControls();

    connect(&m_port, &PortKeeper::frameArrived, this, &Calibrate::showFrame);
    connect(&m_port, &PortKeeper::problemChanged, this,
            [this](const QString& text) { setStatus(StatusSource::Port, text); });
    connect(m_zeroButton, &QPushButton::clicked, this, &Calibrate::takeZeroOffset);
    connect(m_saveButton, &QPushButton::clicked, this, &Calibrate::save);
    connect(m_exitButton, &QPushButton::clicked, this, &QDialog::reject);

    loadFiles();
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

    m_rawVolts = rawValue("txtBattV");
    m_voltDivider = dividerBox("BatteryVolts", "0");
    m_voltsResult = result("txtBattVadjusted");
    band(QStringLiteral("Step 1. Set Voltage"),
         {label(QStringLiteral("Measure your battery voltage, and then adjust")),
          label(QStringLiteral("this value until the correct battery voltage")),
          label(QStringLiteral("is displayed"))},
         m_rawVolts, m_voltDivider, m_voltsResult);

    auto* zeroRow = new QWidget(content);
    auto* zeroLayout = new QHBoxLayout(zeroRow);
    zeroLayout->setContentsMargins(0, 4, 0, 0);
    m_zeroButton = new QPushButton(QStringLiteral("Zero"), zeroRow);
    m_zeroButton->setObjectName(QStringLiteral("Command2"));
    m_offsetLabel = new QLabel(QStringLiteral("0"), zeroRow);
    m_offsetLabel->setObjectName(QStringLiteral("OffsetV"));
    m_offsetLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_offsetLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_offsetLabel->setMinimumWidth(textWidth("00000.00"));
    zeroLayout->addWidget(m_zeroButton);
    zeroLayout->addWidget(m_offsetLabel);
    zeroLayout->addWidget(new QLabel(QStringLiteral("Offset"), zeroRow));
    zeroLayout->addStretch();

    m_rawShunt = rawValue("txtShuntV");
    m_ampDivider = dividerBox("BatteryCurrent", "0");
    m_ampsResult = result("txtBattAadjusted");
    band(QStringLiteral("Step 2. Set Current"),
         {label(QStringLiteral("With no current flowing, press the Zero button..")),
          label(QStringLiteral("Apply a charging current, and adjust this")),
          label(QStringLiteral("value until the correct amps is displayed.")), zeroRow},
         m_rawShunt, m_ampDivider, m_ampsResult);

    m_rpmPulses = rawValue("txtPulsess");
    m_rpmDivider = dividerBox("PulseDivider", "1");
    m_rpmResult = result("txtWindmillRPM");
    band(QStringLiteral("Step 3. Set RPM"),
         {label(QStringLiteral("How many pulses per revolution?"), "Label3"),
          label(QStringLiteral("ie, for a generator giving 14 pulses per turn, type in 14."))},
         m_rpmPulses, m_rpmDivider, m_rpmResult);

    m_windQuestion = label(QString(), "Label23");
    m_windPulses = rawValue("txtPulsess2");
    m_windDivider = dividerBox("Pulse2Divider", "1");
    m_windResult = result("txtWindSpeed");
    band(QStringLiteral("Step 4. Set Wind Speed"), {m_windQuestion}, m_windPulses, m_windDivider,
         m_windResult);

    m_exitButton = new QPushButton(QStringLiteral("Exit ( dont save )"), content);
    m_exitButton->setObjectName(QStringLiteral("Command6"));
    m_saveButton = new QPushButton(QStringLiteral("Save Calibration"), content);
    m_saveButton->setObjectName(QStringLiteral("Command1"));
    // Enter in a divider box must not press Zero or Exit behind the user's back.
    for (QPushButton* button : {m_saveButton, m_zeroButton, m_exitButton})
        button->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_exitButton);
    buttons->addWidget(m_saveButton);

    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->addLayout(bands);
    contentLayout->addWidget(separator(content));
    contentLayout->addLayout(buttons);

    m_status = StatusLine::belowContent(this, content);
}

void Calibrate::loadFiles()
{
    namespace K = ConfigKeys;
    ConfigReport programReport;
    const ProgramConfig program = ProgramConfig::load(m_services.programDir, &programReport);
    m_windUnit = program.WSUnits;
    m_portNumber = program.portNumber();
    m_portProblem = program.portProblem();

    ConfigReport calibrationReport;
    const CalibrationSettings settings =
        CalibrationSettings::load(m_services.programDir, &calibrationReport);
    if (const auto offset = parseNumber(settings.VoltOffset)) {
        m_zeroOffset = *offset;
    } else {
        m_zeroOffset = parseNumber(CalibrationSettings::defaults().VoltOffset).value_or(0);
        calibrationReport.damagedKeys << QString::fromLatin1(K::VoltOffset);
    }

    m_windQuestion->setText(QStringLiteral("How many pulses per ") + m_windUnit + QLatin1Char('?'));
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
    m_voltDivider->setText(dividerText(settings.VoltDivider));
    m_ampDivider->setText(dividerText(settings.AmpDivider));
    m_offsetLabel->setText(NumberText(m_zeroOffset));
    m_rpmDivider->setText(dividerText(settings.RPMDivider));
    m_windDivider->setText(settings.WSDivider);
}

void Calibrate::openPort()
{
    if (!m_portNumber) {
        setStatus(StatusSource::Port, m_portProblem);
        return;
    }
    m_port.open(*m_portNumber);
}

void Calibrate::showFrame(const QByteArray& frame)
{
    CalibrationReadout::Boxes boxes;
    boxes.voltDivider = m_voltDivider->text();
    boxes.ampDivider = m_ampDivider->text();
    boxes.rpmDivider = m_rpmDivider->text();
    boxes.wsDivider = m_windDivider->text();
    boxes.offset = m_zeroOffset;
    boxes.unit = m_windUnit;
    const CalibrationReadout::Texts texts = m_readout.takeFrame(frame, boxes);
    m_rawVolts->setText(texts.battV);
    m_rawShunt->setText(texts.shuntV);
    m_rpmPulses->setText(texts.pulses);
    m_rpmResult->setText(texts.rpm);
    m_windPulses->setText(texts.pulses2);
    m_windResult->setText(texts.windSpeed);
    if (texts.volts)
        m_voltsResult->setText(*texts.volts);
    if (texts.amps)
        m_ampsResult->setText(*texts.amps);
}

void Calibrate::takeZeroOffset()
{
    m_zeroOffset = m_readout.shownShunt();
    m_offsetLabel->setText(NumberText(m_zeroOffset));
}

QString Calibrate::dividerWarning() const
{
    const auto quoted = [](const QLineEdit* box) {
        return QLatin1Char('"') + box->text() + QLatin1Char('"');
    };
    // Only a divider the main window cannot divide by is asked about.
    const QPair<const char*, const QLineEdit*> boxes[] = {{"Step 1. Set Voltage", m_voltDivider},
                                                          {"Step 2. Set Current", m_ampDivider},
                                                          {"Step 3. Set RPM", m_rpmDivider},
                                                          {"Step 4. Set Wind Speed", m_windDivider}};
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

void Calibrate::save()
{
    const QString warning = dividerWarning();
    if (!warning.isEmpty() && !m_services.messages->confirm(warning))
        return;
    CalibrationSettings settings;
    settings.VoltDivider = m_voltDivider->text();
    settings.VoltOffset = NumberText(m_zeroOffset);
    settings.AmpDivider = m_ampDivider->text();
    settings.RPMDivider = m_rpmDivider->text();
    settings.WSDivider = m_windDivider->text();
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
