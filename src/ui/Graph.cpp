#include "Graph.h"

#include "config/ProgramConfig.h"
#include "history/GraphImage.h"
#include "history/CursorReadout.h"
#include "history/HistoryQuery.h"
#include "history/HistoryTableModel.h"
#include "ui/PlotCanvas.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>

namespace {

constexpr int ClientWidth = 13830;
constexpr int ClientHeight = 5640;
const QColor white(255, 255, 255);

struct Series
{
    const char* check;
    const char* caption;
    const char* maxLabel;
    const char* minLabel;
    QColor box; // check box background; invalid: the standard one
};

const Series series[5] = {
    {"Check1", "Volts", "VMax1", "VMin1", QColor(255, 0, 0)},
    {"Check2", "Amps", "AMax1", "AMin1", QColor(0, 255, 0)},
    {"Check3", "Watts", "WMax1", "WMin1", QColor(128, 128, 255)},
    {"Check4", "RPM", "RMax1", "RMin1", QColor(255, 255, 0)},
    {"Check5", "Wind Speed", "SMax1", "SMin1", QColor()},
};

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette colours = widget->palette();
    colours.setColor(QPalette::WindowText, colour);
    colours.setColor(QPalette::Text, colour);
    widget->setPalette(colours);
}

} // namespace

Graph::Graph(const AppServices& services, QWidget* parent)
    : QDialog(parent), m_services(services), m_data(std::make_unique<HistoryData>())
{
    setWindowTitle(QStringLiteral("Graph"));
    setModal(true);
    if (const QScreen* s = QWidget::screen())
        m_dpi = s->logicalDotsPerInchY();
    buildControls();
}

Graph::~Graph() = default;

int Graph::pixels(int twips) const
{
    return qMax(1, qRound(twips * m_dpi / 1440.0));
}

void Graph::buildControls()
{
    setFont(QFont(QStringLiteral("Arial"), 8));
    setFixedSize(pixels(ClientWidth), pixels(ClientHeight));
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(96, 96, 96));
    setPalette(dark);
    setTextColour(this, white);

    const auto place = [this](QWidget* widget, const QString& name, int left, int top, int width,
                              int height) {
        widget->setObjectName(name);
        // Captions are never cut off where the face is wider than the original one.
        const bool caption = qobject_cast<QLabel*>(widget) || qobject_cast<QCheckBox*>(widget);
        const int fit = caption ? widget->sizeHint().width() : 0;
        widget->setGeometry(pixels(left), pixels(top), qMax(pixels(width), fit), pixels(height));
    };
    const auto label = [this, &place](const QString& name, const QString& text, int left,
                                      int top, int width = 0, int height = 240) {
        auto* shown = new QLabel(text, this);
        place(shown, name, left, top, width, height);
        m_labels.insert(name, shown);
        return shown;
    };
    const auto box = [this, &place](const QString& name, const QString& text, int left,
                                    int top, int width) {
        auto* edit = new QLineEdit(text, this);
        setTextColour(edit, Qt::black);
        place(edit, name, left, top, width, 315);
        return edit;
    };

    QLabel* title = label(QStringLiteral("Label15"), QStringLiteral("Log History"), 45, 45,
                          1680, 375);
    QFont big = title->font();
    big.setPointSize(14);
    big.setBold(true);
    title->setFont(big);

    label(QStringLiteral("Label1"), QStringLiteral("Date"), 45, 495);
    m_yearBox = box(QStringLiteral("DateY1"), QStringLiteral("2006"), 630, 450, 555);
    label(QStringLiteral("Label13"), QStringLiteral("/"), 1200, 495);
    m_monthBox = box(QStringLiteral("DateM1"), QStringLiteral("1"), 1260, 450, 375);
    label(QStringLiteral("Label14"), QStringLiteral("/"), 1665, 495);
    m_dayBox = box(QStringLiteral("DateD1"), QStringLiteral("1"), 1755, 450, 375);
    label(QStringLiteral("Label12"), QStringLiteral("YYYY/MM/DD"), 2205, 495);

    label(QStringLiteral("Label2"), QStringLiteral("From"), 90, 855);
    m_fromHourBox = box(QStringLiteral("Time1h"), QStringLiteral("00"), 630, 810, 375);
    label(QStringLiteral("Label4"), QStringLiteral(":"), 1020, 855);
    m_fromMinuteBox = box(QStringLiteral("Time1m"), QStringLiteral("00"), 1080, 810, 375);
    label(QStringLiteral("Label3"), QStringLiteral("To"), 90, 1170);
    m_toHourBox = box(QStringLiteral("Time2h"), QStringLiteral("23"), 630, 1125, 375);
    label(QStringLiteral("Label5"), QStringLiteral(":"), 1020, 1170);
    m_toMinuteBox = box(QStringLiteral("Time2m"), QStringLiteral("59"), 1080, 1125, 375);

    auto* display = new QPushButton(QStringLiteral("Display"), this);
    place(display, QStringLiteral("Command1"), 1575, 810, 1260, 615);
    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    place(exit, QStringLiteral("Command2"), 3105, 1035, 1050, 375);
    for (QPushButton* button : {display, exit})
        setTextColour(button, Qt::black);
    connect(display, &QPushButton::clicked, this, &Graph::showDay);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);

    m_model = new HistoryTableModel(this);
    m_recordList = new QTableView(this);
    m_recordList->setModel(m_model);
    m_recordList->verticalHeader()->hide();
    m_recordList->verticalHeader()->setDefaultSectionSize(pixels(240));
    m_recordList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_recordList->setShowGrid(false);
    m_recordList->setWordWrap(false);
    setTextColour(m_recordList, Qt::black);
    place(m_recordList, QStringLiteral("ListView1"), 90, 1485, 4110, 4065);

    m_plot = new PlotCanvas(this);
    place(m_plot, QStringLiteral("Plot"), 4320, 270, 7035, 5235);
    connect(m_plot, &PlotCanvas::pressed, this, &Graph::plotPressed);
    connect(m_plot, &PlotCanvas::moved, this, &Graph::plotMoved);
    connect(m_plot, &PlotCanvas::released, this, &Graph::plotReleased);

    label(QStringLiteral("stime"), QStringLiteral("Start"), 4410, 45, 900);
    label(QStringLiteral("ftime"), QStringLiteral("Finish"), 10350, 45, 900);
    for (int i = 0; i < 5; ++i) {
        setTextColour(label(QString::fromLatin1(series[i].maxLabel), QStringLiteral("0"), 11790,
                            450 + 180 * i, 1200, 180),
                      QColor::fromRgb(GraphImage::LabelColours[i]));
        setTextColour(label(QString::fromLatin1(series[4 - i].minLabel), QStringLiteral("0"),
                            11745, 4500 + 180 * i, 1200, 180),
                      QColor::fromRgb(GraphImage::LabelColours[4 - i]));
    }
    const char* readout[] = {"vt", "vv", "av", "wv", "rv", "sv"};
    const int readoutTop[] = {1890, 2295, 2610, 2925, 3240, 3555};
    for (int i = 0; i < 6; ++i)
        label(QString::fromLatin1(readout[i]), QString(), 11610, readoutTop[i], 1395, 300);

    for (int i = 0; i < 6; ++i) {
        const bool ref = i == 5;
        auto* check = new QCheckBox(ref ? QStringLiteral("Ref V to 0v")
                                        : QString::fromLatin1(series[i].caption),
                                    this);
        // Wind Speed has the background check boxes have in the other windows, not the
        // window's dark grey.
        QColor back = ref ? QColor(128, 128, 128) : series[i].box;
        if (!back.isValid())
            back = QPalette().color(QPalette::Window);
        check->setAutoFillBackground(true);
        QPalette p = check->palette();
        // A button fills with its button colour, not the window colour. The caption takes
        // the text colour; the tick keeps its own, so it shows on the white box.
        p.setColor(check->backgroundRole(), back);
        p.setColor(QPalette::WindowText, ref ? white : QColor(Qt::black));
        p.setColor(QPalette::Text, Qt::black);
        check->setPalette(p);
        if (ref)
            place(check, QStringLiteral("Check6"), 11610, 3915, 1185, 240);
        else
            place(check, QString::fromLatin1(series[i].check), 13005, 1800 + 405 * i, 780, 375);
        m_checkBoxes[i] = check;
        connect(check, &QCheckBox::toggled, this,
                [this, check](bool checked) { checkClicked(check, checked); });
    }
    // A caption wider than its twips box widens the window rather than being cut off.
    setFixedSize(qMax(width(), childrenRect().right() + pixels(45)), height());
}

void Graph::resetForOpening()
{
    const QDate today = m_services.clock->now().date();
    m_yearBox->setText(QString::number(today.year()));
    m_monthBox->setText(QString::number(today.month()));
    m_dayBox->setText(QString::number(today.day()));
    // A window opened again shows no time window, view or readout left from before.
    const QString times[] = {QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("23"),
                             QStringLiteral("59")};
    QLineEdit* timeBoxes[] = {m_fromHourBox, m_fromMinuteBox, m_toHourBox, m_toMinuteBox};
    for (int i = 0; i < 4; ++i)
        timeBoxes[i]->setText(times[i]);
    // The last query's records go too: a hover or a drag over the empty plot would show
    // them under today's date.
    *m_data = HistoryData{};
    m_dragging = false;

    // A missing prog.cfg or key falls back to the program's defaults, as the main window does.
    // A series the opening leaves off keeps the box it had.
    const GraphSettings opening =
        GraphSettings::opening(ProgramConfig::load(m_services.programDir));
    m_settings.WSUnits = opening.WSUnits;
    const bool on[6] = {opening.ShowVolts, opening.ShowAmps, opening.ShowWatts,
                        opening.ShowRpm,   opening.ShowWind, opening.RefVoltsToZero};
    for (int i = 0; i < 6; ++i) {
        if (on[i])
            check(m_checkBoxes[i]);
    }
    m_model->setWindUnits(m_settings.WSUnits);
    const int widths[] = {1, 600, 700, 700, 700, 700, 700, 800};
    for (int column = 0; column < 8; ++column)
        m_recordList->setColumnWidth(column, pixels(widths[column]));
    // The clicks above clear the plot only when more than one record is loaded.
    redraw();
    const QString zero = QStringLiteral("0");
    showLabels({QStringLiteral("Start"), QStringLiteral("Finish"), zero, zero, zero, zero, zero,
                zero, zero, zero, zero, zero});
    showReadout(CursorReadout{});
}

void Graph::check(QCheckBox* box)
{
    // Checking a box from code raises its click even when it is checked already.
    if (box->isChecked())
        checkClicked(box, true);
    else
        box->setChecked(true);
}

void Graph::checkClicked(QCheckBox* box, bool checked)
{
    bool* flags[6] = {&m_settings.ShowVolts, &m_settings.ShowAmps, &m_settings.ShowWatts,
                      &m_settings.ShowRpm,   &m_settings.ShowWind, &m_settings.RefVoltsToZero};
    for (int i = 0; i < 6; ++i) {
        if (m_checkBoxes[i] == box)
            *flags[i] = checked;
    }
    if (m_data->HistoryCount > 1)
        redraw();
}

void Graph::showDay()
{
    const HistoryQuery::Checked checked = HistoryQuery::parseInput(
        {m_yearBox->text(), m_monthBox->text(), m_dayBox->text(), m_fromHourBox->text(),
         m_fromMinuteBox->text(), m_toHourBox->text(), m_toMinuteBox->text()});
    const auto* range = std::get_if<HistoryRange>(&checked);
    const HistoryQuery::Result result =
        range ? HistoryQuery::run(m_services.programDir, range->day, range->from, range->to,
                                  *m_data)
              : std::get<HistoryQuery::Result>(checked);
    if (!result.message.isEmpty())
        m_services.messages->show(result.message);
    if (result.draw())
        redraw();
}

void Graph::redraw()
{
    GraphPicture picture = DrawGraph::draw(*m_data, m_settings, m_plot->extents());
    m_plot->setExtents(picture.extents);
    m_plot->setList(std::move(picture.plot));
    m_model->setRows(std::move(picture.rows));
    if (picture.labels)
        showLabels(*picture.labels);
}

void Graph::showLabels(const GraphLabels& labels)
{
    const QList<QPair<const char*, QString>> texts = {
        {"stime", labels.start},    {"ftime", labels.finish},    {"VMax1", labels.voltsMax},
        {"VMin1", labels.voltsMin}, {"AMax1", labels.ampsMax},   {"AMin1", labels.ampsMin},
        {"WMax1", labels.wattsMax}, {"WMin1", labels.wattsMin}, {"RMax1", labels.rpmMax},
        {"RMin1", labels.rpmMin},   {"SMax1", labels.windMax},   {"SMin1", labels.windMin}};
    for (const auto& [name, text] : texts)
        m_labels.value(QString::fromLatin1(name))->setText(text);
}

void Graph::showReadout(const CursorReadout& readout)
{
    const QList<QPair<const char*, QString>> texts = {
        {"vt", readout.time},   {"vv", readout.volts}, {"av", readout.amps},
        {"wv", readout.watts}, {"rv", readout.rpm},   {"sv", readout.wind}};
    for (const auto& [name, text] : texts)
        m_labels.value(QString::fromLatin1(name))->setText(text);
}

void Graph::plotPressed(QPointF position)
{
    m_dragging = true;
    if (!m_data->zoomed && m_data->HistoryCount > 1)
        m_data->ViewFirst = m_data->clampPosition(position.x());
}

void Graph::plotMoved(QPointF position)
{
    if (m_data->HistoryCount < 2)
        return;
    if (const auto readout = CursorReadout::at(*m_data, position.x(), m_settings.WSUnits))
        showReadout(*readout);
    if (!m_data->zoomed && m_dragging) {
        m_plot->append(PlotItem::line(qRgb(255, 0, 0), QPointF(m_data->ViewFirst, 0),
                                      QPointF(position.x(), 0), m_plot->extents()));
    }
}

void Graph::plotReleased(QPointF position)
{
    m_dragging = false;
    if (m_data->zoomed || position.x() <= m_data->ViewFirst || m_data->HistoryCount <= 1)
        return;
    m_data->ViewLast = m_data->clampPosition(position.x());
    m_data->zoomed = true;
    redraw();
}
