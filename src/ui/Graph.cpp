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

void setTextColour(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    w->setPalette(p);
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

int Graph::tw(int twips) const
{
    return qMax(1, qRound(twips * m_dpi / 1440.0));
}

void Graph::buildControls()
{
    setFont(QFont(QStringLiteral("Arial"), 8));
    setFixedSize(tw(ClientWidth), tw(ClientHeight));
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(96, 96, 96));
    setPalette(dark);
    setTextColour(this, white);

    const auto place = [this](QWidget* w, const QString& name, int left, int top, int width,
                              int height) {
        w->setObjectName(name);
        // Captions are never cut off where the face is wider than the original one.
        const bool caption = qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w);
        const int fit = caption ? w->sizeHint().width() : 0;
        w->setGeometry(tw(left), tw(top), qMax(tw(width), fit), tw(height));
    };
    const auto label = [this, &place](const QString& name, const QString& text, int left,
                                      int top, int width = 0, int height = 240) {
        auto* l = new QLabel(text, this);
        place(l, name, left, top, width, height);
        m_labels.insert(name, l);
        return l;
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
    m_DateY1 = box(QStringLiteral("DateY1"), QStringLiteral("2006"), 630, 450, 555);
    label(QStringLiteral("Label13"), QStringLiteral("/"), 1200, 495);
    m_DateM1 = box(QStringLiteral("DateM1"), QStringLiteral("1"), 1260, 450, 375);
    label(QStringLiteral("Label14"), QStringLiteral("/"), 1665, 495);
    m_DateD1 = box(QStringLiteral("DateD1"), QStringLiteral("1"), 1755, 450, 375);
    label(QStringLiteral("Label12"), QStringLiteral("YYYY/MM/DD"), 2205, 495);

    label(QStringLiteral("Label2"), QStringLiteral("From"), 90, 855);
    m_Time1h = box(QStringLiteral("Time1h"), QStringLiteral("00"), 630, 810, 375);
    label(QStringLiteral("Label4"), QStringLiteral(":"), 1020, 855);
    m_Time1m = box(QStringLiteral("Time1m"), QStringLiteral("00"), 1080, 810, 375);
    label(QStringLiteral("Label3"), QStringLiteral("To"), 90, 1170);
    m_Time2h = box(QStringLiteral("Time2h"), QStringLiteral("23"), 630, 1125, 375);
    label(QStringLiteral("Label5"), QStringLiteral(":"), 1020, 1170);
    m_Time2m = box(QStringLiteral("Time2m"), QStringLiteral("59"), 1080, 1125, 375);

    auto* display = new QPushButton(QStringLiteral("Display"), this);
    place(display, QStringLiteral("Command1"), 1575, 810, 1260, 615);
    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    place(exit, QStringLiteral("Command2"), 3105, 1035, 1050, 375);
    for (QPushButton* button : {display, exit})
        setTextColour(button, Qt::black);
    connect(display, &QPushButton::clicked, this, &Graph::HistoryQuery);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);

    m_model = new HistoryTableModel(this);
    m_ListView1 = new QTableView(this);
    m_ListView1->setModel(m_model);
    m_ListView1->verticalHeader()->hide();
    m_ListView1->verticalHeader()->setDefaultSectionSize(tw(240));
    m_ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_ListView1->setShowGrid(false);
    m_ListView1->setWordWrap(false);
    setTextColour(m_ListView1, Qt::black);
    place(m_ListView1, QStringLiteral("ListView1"), 90, 1485, 4110, 4065);

    m_Plot = new PlotCanvas(this);
    place(m_Plot, QStringLiteral("Plot"), 4320, 270, 7035, 5235);
    connect(m_Plot, &PlotCanvas::pressed, this, &Graph::plotPressed);
    connect(m_Plot, &PlotCanvas::moved, this, &Graph::plotMoved);
    connect(m_Plot, &PlotCanvas::released, this, &Graph::plotReleased);

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
        m_checks[i] = check;
        connect(check, &QCheckBox::toggled, this,
                [this, check](bool checked) { checkClicked(check, checked); });
    }
    // A caption wider than its twips box widens the window rather than being cut off.
    setFixedSize(qMax(width(), childrenRect().right() + tw(45)), height());
}

void Graph::Load()
{
    const QDate today = m_services.clock->now().date();
    m_DateY1->setText(QString::number(today.year()));
    m_DateM1->setText(QString::number(today.month()));
    m_DateD1->setText(QString::number(today.day()));
    // A window opened again shows no time window, view or readout left from before.
    const QString times[] = {QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("23"),
                             QStringLiteral("59")};
    QLineEdit* timeBoxes[] = {m_Time1h, m_Time1m, m_Time2h, m_Time2m};
    for (int i = 0; i < 4; ++i)
        timeBoxes[i]->setText(times[i]);
    // The last query's records go too: a hover or a drag over the empty plot would show
    // them under today's date.
    *m_data = HistoryData{};
    m_MouseIsDown = 0;

    // A missing prog.cfg or key falls back to the program's defaults, as the main window does.
    // A series the opening leaves off keeps the box it had.
    const GraphSettings opening =
        GraphSettings::opening(ProgramConfig::load(m_services.programDir));
    m_settings.WSUnits = opening.WSUnits;
    const bool on[6] = {opening.ShowVolts, opening.ShowAmps, opening.ShowWatts,
                        opening.ShowRpm,   opening.ShowWind, opening.RefVoltsToZero};
    for (int i = 0; i < 6; ++i) {
        if (on[i])
            check(m_checks[i]);
    }
    m_model->setWindUnits(m_settings.WSUnits);
    const int widths[] = {1, 600, 700, 700, 700, 700, 700, 800};
    for (int column = 0; column < 8; ++column)
        m_ListView1->setColumnWidth(column, tw(widths[column]));
    // The clicks above clear the plot only when more than one record is loaded.
    DrawGraph();
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
        if (m_checks[i] == box)
            *flags[i] = checked;
    }
    if (m_data->HistoryCount > 1)
        DrawGraph();
}

void Graph::HistoryQuery()
{
    const HistoryQuery::Checked checked = HistoryQuery::parseInput(
        {m_DateY1->text(), m_DateM1->text(), m_DateD1->text(), m_Time1h->text(), m_Time1m->text(),
         m_Time2h->text(), m_Time2m->text()});
    const auto* range = std::get_if<HistoryRange>(&checked);
    const HistoryQuery::Result result =
        range ? HistoryQuery::run(m_services.programDir, range->day, range->from, range->to, *m_data)
              : std::get<HistoryQuery::Result>(checked);
    if (!result.message.isEmpty())
        m_services.messages->show(result.message);
    if (result.draw())
        DrawGraph();
}

void Graph::DrawGraph()
{
    GraphPicture picture = DrawGraph::draw(*m_data, m_settings, m_Plot->extents());
    m_Plot->setExtents(picture.extents);
    m_Plot->setList(std::move(picture.plot));
    m_model->setRows(std::move(picture.rows));
    if (picture.labels)
        showLabels(*picture.labels);
}

void Graph::showLabels(const GraphLabels& l)
{
    const QList<QPair<const char*, QString>> texts = {
        {"stime", l.start},    {"ftime", l.finish},  {"VMax1", l.voltsMax},
        {"VMin1", l.voltsMin}, {"AMax1", l.ampsMax}, {"AMin1", l.ampsMin},
        {"WMax1", l.wattsMax}, {"WMin1", l.wattsMin}, {"RMax1", l.rpmMax},
        {"RMin1", l.rpmMin},   {"SMax1", l.windMax}, {"SMin1", l.windMin}};
    for (const auto& [name, text] : texts)
        m_labels.value(QString::fromLatin1(name))->setText(text);
}

void Graph::showReadout(const CursorReadout& r)
{
    const QList<QPair<const char*, QString>> texts = {
        {"vt", r.time},   {"vv", r.volts}, {"av", r.amps},
        {"wv", r.watts}, {"rv", r.rpm},   {"sv", r.wind}};
    for (const auto& [name, text] : texts)
        m_labels.value(QString::fromLatin1(name))->setText(text);
}

void Graph::plotPressed(QPointF position)
{
    m_MouseIsDown = 1;
    if (!m_data->zoomed && m_data->HistoryCount > 1)
        m_data->ViewFirst = m_data->clampPosition(position.x());
}

void Graph::plotMoved(QPointF position)
{
    if (m_data->HistoryCount < 2)
        return;
    if (const auto readout = CursorReadout::at(*m_data, position.x(), m_settings.WSUnits))
        showReadout(*readout);
    if (!m_data->zoomed && m_MouseIsDown == 1) {
        m_Plot->append(PlotItem::line(qRgb(255, 0, 0), QPointF(m_data->ViewFirst, 0),
                                      QPointF(position.x(), 0), m_Plot->extents()));
    }
}

void Graph::plotReleased(QPointF position)
{
    m_MouseIsDown = 0;
    if (m_data->zoomed || position.x() <= m_data->ViewFirst || m_data->HistoryCount <= 1)
        return;
    m_data->ViewLast = m_data->clampPosition(position.x());
    m_data->zoomed = true;
    DrawGraph();
}
