#include "MainWindow.h"

#include "config/CalibrationSettings.h"
#include "config/ConfigFile.h"
#include "logging/LogWriter.h"
#include "ui/Calibrate.h"
#include "ui/Graph.h"
#include "ui/Lamp.h"
#include "ui/ProgramSetup.h"
#include "ui/StatusLine.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The window is laid out in twips (1/1440 inch) on a client area of this size.
constexpr int ClientWidth = 4560;
constexpr int ClientHeight = 4500;

} // namespace

MainWindow::MainWindow(AppServices services, QWidget* parent)
    : QWidget(parent), m_services(std::move(services)),
      m_port(m_services.makeLink(), QStringLiteral("MSComm1"), this)
{
    if (const QScreen* screen = QWidget::screen())
        m_dpi = screen->logicalDotsPerInchY();
    buildControls();

    // Members with the window as parent, so they can be found by name like the controls;
    // they are destroyed before the window and leave its child list on their own.
    for (QTimer* timer : {&m_Timer1, &m_Timer2, &m_Timer3})
        timer->setParent(this);
    m_Timer1.setObjectName(QStringLiteral("Timer1"));
    m_Timer1.setInterval(1000);
    m_Timer2.setObjectName(QStringLiteral("Timer2"));
    m_Timer2.setInterval(250);
    m_Timer2.setSingleShot(true);
    m_Timer3.setObjectName(QStringLiteral("Timer3"));
    m_Timer3.setInterval(5000);

    connect(&m_Timer1, &QTimer::timeout, this, &MainWindow::LoggingTick);
    connect(&m_Timer2, &QTimer::timeout, this, &MainWindow::resetLamps);
    connect(&m_Timer3, &QTimer::timeout, this, &MainWindow::wattHourStep);
    connect(&m_port, &PortKeeper::frameArrived, this, &MainWindow::handleFrame);
    connect(&m_port, &PortKeeper::problemChanged, this,
            [this](const QString& text) { setStatus(StatusSource::Port, text); });
    connect(m_StartLogging, &QPushButton::clicked, this, &MainWindow::startLoggingClicked);
    connect(m_StopLogging, &QPushButton::clicked, this, &MainWindow::stopLogging);
    connect(m_ShowLogs, &QPushButton::clicked, this, &MainWindow::showLogs);
    connect(m_Setup, &QPushButton::clicked, this, &MainWindow::programSetup);
    connect(m_CalibrateButton, &QPushButton::clicked, this, &MainWindow::calibrate);
    connect(m_Exit, &QPushButton::clicked, this, &QWidget::close);

    startUp();
}

MainWindow::~MainWindow() = default;

int MainWindow::tw(int twips) const
{
    return qMax(1, qRound(twips * m_dpi / 1440.0));
}

void MainWindow::buildControls()
{
    // The twips layout was made for an 8-point sans-serif face.
    setFont(QFont(QStringLiteral("Arial"), 8));
    auto* client = new QWidget(this);
    client->setFixedSize(tw(ClientWidth), tw(ClientHeight));
    const auto place = [this](QWidget* w, const char* name, int left, int top, int width,
                              int height) {
        w->setObjectName(QString::fromLatin1(name));
        // A caption never gets cut off where the face is wider than the original one.
        const int fit = qobject_cast<QLabel*>(w) ? w->sizeHint().width() : 0;
        w->setGeometry(tw(left), tw(top), qMax(tw(width), fit), tw(height));
    };

    auto* label11 = new QLabel(QStringLiteral("Wendro"), client);
    QFont brand(QStringLiteral("Palatino Linotype"), 18, QFont::Bold, true);
    label11->setFont(brand);
    place(label11, "Label11", 90, 0, 1305, 555);

    m_txtMode = new QLabel(client);
    m_txtMode->setAlignment(Qt::AlignCenter);
    QFont modeFont = m_txtMode->font();
    modeFont.setBold(true);
    m_txtMode->setFont(modeFont);
    place(m_txtMode, "txtMode", 2205, 0, 1410, 375);

    m_ListView1 = new QTreeWidget(client);
    m_ListView1->setColumnCount(3);
    m_ListView1->setHeaderHidden(true);
    m_ListView1->setRootIsDecorated(false);
    m_ListView1->setUniformRowHeights(true);
    m_ListView1->setSelectionMode(QAbstractItemView::NoSelection);
    m_ListView1->setFocusPolicy(Qt::NoFocus);
    m_ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_ListView1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    place(m_ListView1, "ListView1", 90, 600, 4200, 2685);

    m_BlinkData = new Lamp(client);
    place(m_BlinkData, "BlinkData", 4320, 600, 150, 150);

    // The frame around the list and the logging row, and the line between them.
    const auto line = [client, this](int left, int top, int width, int height) {
        auto* frame = new QFrame(client);
        frame->setFrameShape(width > height ? QFrame::HLine : QFrame::VLine);
        frame->setFrameShadow(QFrame::Sunken);
        frame->setGeometry(tw(left), tw(top), qMax(2, tw(width)), qMax(2, tw(height)));
    };
    line(45, 540, 4455, 0);
    line(45, 4110, 4455, 0);
    line(45, 540, 0, 3570);
    line(4500, 540, 0, 3570);
    line(45, 3330, 4455, 0);

    auto* label14 = new QLabel(QStringLiteral("Logging"), client);
    place(label14, "Label14", 90, 3390, 1230, 285);
    m_StartLogging = new QPushButton(QStringLiteral("Start"), client);
    place(m_StartLogging, "StartLogging", 2820, 3390, 675, 315);
    m_StopLogging = new QPushButton(QStringLiteral("Stop"), client);
    place(m_StopLogging, "StopLogging", 3540, 3390, 675, 315);
    m_BlinkLog = new Lamp(client);
    place(m_BlinkLog, "BlinkLog", 4305, 3390, 150, 150);

    auto* label9 = new QLabel(QStringLiteral("Interval"), client);
    place(label9, "Label9", 480, 3795, 555, 255);
    m_delay = new QLineEdit(QStringLiteral("60"), client);
    place(m_delay, "delay", 1110, 3705, 495, 315);
    auto* label10 = new QLabel(QStringLiteral("Seconds"), client);
    place(label10, "Label10", 1650, 3795, 795, 255);
    m_ShowLogs = new QPushButton(QStringLiteral("Show Logs"), client);
    place(m_ShowLogs, "ShowLogs", 2820, 3750, 1410, 330);

    m_Setup = new QPushButton(QStringLiteral("Program Setup"), client);
    place(m_Setup, "Setup", 45, 4170, 1275, 285);
    m_CalibrateButton = new QPushButton(QStringLiteral("Calibrate"), client);
    place(m_CalibrateButton, "CalibrateButton", 1350, 4170, 1140, 285);
    m_Exit = new QPushButton(QStringLiteral("Exit"), client);
    place(m_Exit, "Exit", 3540, 4170, 975, 300);

    m_status = new StatusLine(this);
    m_status->setFixedWidth(tw(ClientWidth));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(client);
    layout->addWidget(m_status);
}

void MainWindow::startUp()
{
    setWindowTitle(LiveDisplay::waitingCaption());
    m_StopLogging->setEnabled(false);
    Reading& r = m_live.reading();
    r.Mode = 0;
    r.Volts = r.Amps = r.Watts = r.RPM = r.WattHours = 0;
    r.LastRawCurrent = 500;
    createMissingConfigFiles();
    LoadConfiguration();
    m_Timer3.start();
    openConfiguredPort();
    // Automatic start: quietly stays off when the interval is not a number.
    if (ProgramConfig::isOn(m_config.LogOn)) {
        if (const auto interval = LogInterval::fromDelay(m_delay->text()))
            beginLogging(*interval);
    }
}

void MainWindow::createMissingConfigFiles()
{
    const QString dir = m_services.programDir;
    const QStringList notes = {
        ConfigFile::createIfMissing(ProgramConfig::path(dir), ProgramConfig::defaults().fileText()),
        ConfigFile::createIfMissing(CalibrationSettings::path(dir),
                                    CalibrationSettings::defaults().fileText())};
    QStringList said;
    for (const QString& note : notes) {
        if (!note.isEmpty())
            said << note;
    }
    setStatus(StatusSource::FirstStart, said.join(QLatin1Char('\n')));
}

void MainWindow::LoadConfiguration()
{
    ConfigReport programReport;
    m_config = ProgramConfig::load(m_services.programDir, &programReport);
    m_delay->setText(m_config.LogDelay);
    rebuildList();
    ConfigReport calibrationReport;
    m_live.setCalibration(CalibrationSettings::load(m_services.programDir, &calibrationReport));
    // A file that could not be created at start-up has been said once already.
    const auto said = [this](const ConfigReport& report) {
        const bool told =
            report.fileMissing &&
            m_status->line(static_cast<int>(StatusSource::FirstStart)).contains(report.fileName);
        return told ? QString() : report.describe();
    };
    setStatus(StatusSource::ProgramFile, said(programReport));
    setStatus(StatusSource::CalibrationFile, said(calibrationReport));
}

void MainWindow::rebuildList()
{
    m_ListView1->clear();
    m_ListView1->setFont(QFont(QStringLiteral("Arial"), LiveDisplay::listFontPointSize(m_config)));
    m_ListView1->setColumnWidth(0, tw(1));
    m_ListView1->setColumnWidth(1, tw(1500));
    m_ListView1->setColumnWidth(2, tw(2600));
    for (const LiveDisplay::Row& row : LiveDisplay::startRows(m_config)) {
        auto* item = new QTreeWidgetItem(m_ListView1);
        item->setText(1, row.value);
        item->setText(2, row.label);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void MainWindow::showRows(const QVector<LiveDisplay::Row>& rows)
{
    // The rows only change when the configuration is loaded, which rebuilds the list; here
    // the texts are replaced in place.
    if (m_ListView1->topLevelItemCount() != rows.size())
        rebuildList();
    for (int i = 0; i < rows.size(); ++i) {
        QTreeWidgetItem* item = m_ListView1->topLevelItem(i);
        item->setText(1, rows[i].value + QLatin1Char(' '));
        item->setText(2, rows[i].label);
    }
}

void MainWindow::handleFrame(const QByteArray& frame)
{
    m_BlinkData->setState(Lamp::State::Red);
    m_Timer2.start();
    if (!m_live.handleFrame(frame, m_services.clock->now(), m_Timer1.isActive()))
        return;
    showRows(LiveDisplay::rows(m_live.reading(), m_config));
    m_txtMode->setText(LiveDisplay::modeLabel(m_live.reading().Mode));
    setWindowTitle(LiveDisplay::caption(m_live.reading()));
}

void MainWindow::startLoggingClicked()
{
    const auto interval = LogInterval::fromDelay(m_delay->text());
    if (!interval) {
        m_services.messages->show(QString::fromLatin1(LogInterval::InvalidMessage));
        return;
    }
    beginLogging(*interval);
}

void MainWindow::beginLogging(const LogInterval& interval)
{
    m_delay->setText(interval.delayText);
    m_Timer1.setInterval(interval.milliseconds);
    m_delay->setEnabled(false);
    m_StartLogging->setEnabled(false);
    m_StopLogging->setEnabled(true);
    m_Timer1.start();
    m_live.reading().resetPeaks();
}

void MainWindow::stopLogging()
{
    m_StartLogging->setEnabled(true);
    m_delay->setEnabled(true);
    m_StopLogging->setEnabled(false);
    m_Timer1.stop();
}

void MainWindow::LoggingTick()
{
    m_BlinkLog->setState(Lamp::State::Red);
    m_Timer2.start();
    const LogWriter::Result result =
        LogWriter::writeTick(m_services.programDir, m_live.reading(), m_config,
                             m_services.clock->now(), QLocale(), &m_backlog);
    // A record that could not be written in full keeps the lamp amber until one is.
    if (!result.ok())
        m_BlinkLog->setState(Lamp::State::Error);
    setStatus(StatusSource::Logging, result.describe());
    m_live.reading().resetPeaks();
}

void MainWindow::showLogs()
{
    // The port stays open: frames and logging go on behind the history window.
    if (!m_graph)
        m_graph = new Graph(m_services, this);
    m_graph->Load();
    m_graph->exec();
}

void MainWindow::programSetup()
{
    lendPort();
    ProgramSetup dialog(m_services, this);
    dialog.exec();
    takePortBack();
}

void MainWindow::calibrate()
{
    // The dialog opens the port itself while it is shown.
    lendPort();
    {
        Calibrate dialog(m_services, this);
        dialog.exec();
    }
    takePortBack();
}

void MainWindow::lendPort()
{
    m_port.close();
    m_live.lendPort(m_services.clock->now());
}

void MainWindow::takePortBack()
{
    m_live.takePortBack(m_services.clock->now());
    LoadConfiguration();
    openConfiguredPort();
}

void MainWindow::openConfiguredPort()
{
    // A Port that is not a number opens nothing, and nothing is retried: another device
    // may be on any port we guessed.
    if (const auto port = m_config.portNumber()) {
        m_port.open(*port);
        return;
    }
    m_port.close();
    setStatus(StatusSource::Port, m_config.portProblem());
}

void MainWindow::resetLamps()
{
    m_BlinkData->setState(Lamp::State::Normal);
    if (m_BlinkLog->state() == Lamp::State::Red)
        m_BlinkLog->setState(Lamp::State::Normal);
    m_Timer2.stop();
}

void MainWindow::wattHourStep()
{
    m_live.wattHourStep(m_services.clock->now());
}

void MainWindow::setStatus(StatusSource source, const QString& text)
{
    m_status->setLine(static_cast<int>(source), text);
}

QString MainWindow::statusText() const
{
    return m_status->text();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    m_port.close();
    event->accept();
}
