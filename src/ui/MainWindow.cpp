#include "MainWindow.h"

#include "ui/Calibrate.h"
#include "ui/Graph.h"
#include "ui/Lamp.h"
#include "ui/ProgramSetup.h"
#include "ui/StatusLine.h"

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

MainWindow::MainWindow(Station& station, AppServices services, QWidget* parent)
    : QWidget(parent), m_station(station), m_services(std::move(services))
{
    if (const QScreen* screen = QWidget::screen())
        m_dpi = screen->logicalDotsPerInchY();
    buildControls();

    m_lampTimer.setParent(this);
    m_lampTimer.setObjectName(QStringLiteral("Timer2"));
    m_lampTimer.setInterval(250);
    m_lampTimer.setSingleShot(true);
    connect(&m_lampTimer, &QTimer::timeout, this, &MainWindow::resetLamps);

    connect(&m_station, &Station::frameSeen, this, &MainWindow::showFrameSeen);
    connect(&m_station, &Station::readingChanged, this, &MainWindow::showReading);
    connect(&m_station, &Station::recordWritten, this, &MainWindow::showRecordWritten);
    connect(&m_station, &Station::loggingStarted, this, &MainWindow::showLoggingStarted);
    connect(&m_station, &Station::loggingStopped, this, &MainWindow::showLoggingStopped);
    connect(&m_station, &Station::configurationLoaded, this, [this] {
        m_delayBox->setText(m_station.config().LogDelay);
        rebuildList();
    });
    connect(&m_station, &Station::statusChanged, this,
            [this](Station::StatusSource source, const QString& text) {
                m_status->setLine(static_cast<int>(source), text);
            });
    connect(m_startButton, &QPushButton::clicked, this, &MainWindow::startLoggingClicked);
    connect(m_stopButton, &QPushButton::clicked, &m_station, &Station::stopLogging);
    connect(m_showLogsButton, &QPushButton::clicked, this, &MainWindow::showLogs);
    connect(m_setupButton, &QPushButton::clicked, this, &MainWindow::programSetup);
    connect(m_calibrateButton, &QPushButton::clicked, this, &MainWindow::calibrate);
    connect(m_exitButton, &QPushButton::clicked, this, &QWidget::close);

    setWindowTitle(LiveDisplay::waitingCaption());
    m_stopButton->setEnabled(false);
    // A station started before its window shows what it has already.
    rebuildList();
    m_delayBox->setText(m_station.config().LogDelay);
    m_status->setText(m_station.statusLines().join(QLatin1Char('\n')));
    m_status->setVisible(!m_station.statusLines().isEmpty());
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

    auto* title = new QLabel(QStringLiteral("Wendro"), client);
    QFont brand(QStringLiteral("Palatino Linotype"), 18, QFont::Bold, true);
    title->setFont(brand);
    place(title, "Label11", 90, 0, 1305, 555);

    m_modeLabel = new QLabel(client);
    m_modeLabel->setAlignment(Qt::AlignCenter);
    QFont modeFont = m_modeLabel->font();
    modeFont.setBold(true);
    m_modeLabel->setFont(modeFont);
    place(m_modeLabel, "txtMode", 2205, 0, 1410, 375);

    m_valueList = new QTreeWidget(client);
    m_valueList->setColumnCount(3);
    m_valueList->setHeaderHidden(true);
    m_valueList->setRootIsDecorated(false);
    m_valueList->setUniformRowHeights(true);
    m_valueList->setSelectionMode(QAbstractItemView::NoSelection);
    m_valueList->setFocusPolicy(Qt::NoFocus);
    m_valueList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_valueList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    place(m_valueList, "ListView1", 90, 600, 4200, 2685);

    m_dataLamp = new Lamp(client);
    place(m_dataLamp, "BlinkData", 4320, 600, 150, 150);

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

    auto* loggingTitle = new QLabel(QStringLiteral("Logging"), client);
    place(loggingTitle, "Label14", 90, 3390, 1230, 285);
    m_startButton = new QPushButton(QStringLiteral("Start"), client);
    place(m_startButton, "StartLogging", 2820, 3390, 675, 315);
    m_stopButton = new QPushButton(QStringLiteral("Stop"), client);
    place(m_stopButton, "StopLogging", 3540, 3390, 675, 315);
    m_logLamp = new Lamp(client);
    place(m_logLamp, "BlinkLog", 4305, 3390, 150, 150);

    auto* intervalLabel = new QLabel(QStringLiteral("Interval"), client);
    place(intervalLabel, "Label9", 480, 3795, 555, 255);
    m_delayBox = new QLineEdit(QStringLiteral("60"), client);
    place(m_delayBox, "delay", 1110, 3705, 495, 315);
    auto* secondsLabel = new QLabel(QStringLiteral("Seconds"), client);
    place(secondsLabel, "Label10", 1650, 3795, 795, 255);
    m_showLogsButton = new QPushButton(QStringLiteral("Show Logs"), client);
    place(m_showLogsButton, "ShowLogs", 2820, 3750, 1410, 330);

    m_setupButton = new QPushButton(QStringLiteral("Program Setup"), client);
    place(m_setupButton, "Setup", 45, 4170, 1275, 285);
    m_calibrateButton = new QPushButton(QStringLiteral("Calibrate"), client);
    place(m_calibrateButton, "CalibrateButton", 1350, 4170, 1140, 285);
    m_exitButton = new QPushButton(QStringLiteral("Exit"), client);
    place(m_exitButton, "Exit", 3540, 4170, 975, 300);

    m_status = new StatusLine(this);
    m_status->setFixedWidth(tw(ClientWidth));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(client);
    layout->addWidget(m_status);
}

void MainWindow::rebuildList()
{
    m_valueList->clear();
    const ProgramConfig& config = m_station.config();
    m_valueList->setFont(QFont(QStringLiteral("Arial"), LiveDisplay::listFontPointSize(config)));
    m_valueList->setColumnWidth(0, tw(1));
    m_valueList->setColumnWidth(1, tw(1500));
    m_valueList->setColumnWidth(2, tw(2600));
    for (const LiveDisplay::Row& row : LiveDisplay::startRows(config)) {
        auto* item = new QTreeWidgetItem(m_valueList);
        item->setText(1, row.value);
        item->setText(2, row.label);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void MainWindow::showRows(const QVector<LiveDisplay::Row>& rows)
{
    // The rows only change when the configuration is loaded, which rebuilds the list; here
    // the texts are replaced in place.
    if (m_valueList->topLevelItemCount() != rows.size())
        rebuildList();
    for (int i = 0; i < rows.size(); ++i) {
        QTreeWidgetItem* item = m_valueList->topLevelItem(i);
        item->setText(1, rows[i].value + QLatin1Char(' '));
        item->setText(2, rows[i].label);
    }
}

void MainWindow::showFrameSeen()
{
    m_dataLamp->setState(Lamp::State::Red);
    m_lampTimer.start();
}

void MainWindow::showReading()
{
    const Reading& r = m_station.reading();
    showRows(LiveDisplay::rows(r, m_station.config()));
    m_modeLabel->setText(LiveDisplay::modeLabel(r.Mode));
    setWindowTitle(LiveDisplay::caption(r));
}

void MainWindow::startLoggingClicked()
{
    if (!m_station.startLogging(m_delayBox->text()))
        m_services.messages->show(QString::fromLatin1(LogInterval::InvalidMessage));
}

void MainWindow::showLoggingStarted(const QString& delayText)
{
    m_delayBox->setText(delayText);
    m_delayBox->setEnabled(false);
    m_startButton->setEnabled(false);
    m_stopButton->setEnabled(true);
}

void MainWindow::showLoggingStopped()
{
    m_startButton->setEnabled(true);
    m_delayBox->setEnabled(true);
    m_stopButton->setEnabled(false);
}

void MainWindow::showRecordWritten(bool ok)
{
    m_logLamp->setState(Lamp::State::Red);
    m_lampTimer.start();
    // A record that could not be written in full keeps the lamp amber until one is.
    if (!ok)
        m_logLamp->setState(Lamp::State::Error);
}

void MainWindow::showLogs()
{
    // The port stays open: frames and logging go on behind the history window.
    if (!m_graph)
        m_graph = new Graph(m_services, this);
    m_graph->resetForOpening();
    m_graph->exec();
}

void MainWindow::programSetup()
{
    m_station.lendPort();
    {
        ProgramSetup dialog(m_services, this);
        dialog.exec();
    }
    m_station.takePortBack();
}

void MainWindow::calibrate()
{
    // The dialog opens the port itself while it is shown.
    m_station.lendPort();
    {
        Calibrate dialog(m_services, this);
        dialog.exec();
    }
    m_station.takePortBack();
}

void MainWindow::resetLamps()
{
    m_dataLamp->setState(Lamp::State::Normal);
    if (m_logLamp->state() == Lamp::State::Red)
        m_logLamp->setState(Lamp::State::Normal);
    m_lampTimer.stop();
}

QString MainWindow::statusText() const
{
    return m_status->text();
}

