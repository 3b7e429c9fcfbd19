#include "WebApi.h"

#include "history/DrawGraph.h"
#include "history/GraphImage.h"
#include "history/HistoryQuery.h"
#include "logging/WebPagePublisher.h"
#include "analysis/EnergyPeriods.h"
#include "analysis/RangeColumns.h"
#include "common/NumberParse.h"
#include "common/Rounding.h"
#include "station/LiveJson.h"
#include "station/MinuteStore.h"
#include "station/PowerCurveQuery.h"
#include "station/Station.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A day's records through the history window's own query; the HTTP status for its outcome.
struct DayQuery
{
    std::unique_ptr<HistoryData> data = std::make_unique<HistoryData>();
    QVector<RecordTexts> texts;
    HistoryQuery::Result result;
    QString from;
    QString to;

    int status() const
    {
        switch (result.outcome) {
        case HistoryQuery::Outcome::Loaded:
            return 200;
        case HistoryQuery::Outcome::NoData:
            return 404;
        case HistoryQuery::Outcome::TooMany:
            return 413;
        case HistoryQuery::Outcome::Unreadable:
            return 500;
        default:
            return 400;
        }
    }
};

DayQuery runQuery(const QString& date, const QUrlQuery& query, const QString& programDir,
                  bool keepTexts)
{
    DayQuery q;
    q.from = query.hasQueryItem(QStringLiteral("from")) ? query.queryItemValue(QStringLiteral("from"))
                                                       : QStringLiteral("00:00");
    q.to = query.hasQueryItem(QStringLiteral("to")) ? query.queryItemValue(QStringLiteral("to"))
                                                   : QStringLiteral("23:59");
    // The date only ever reaches a file name as the three numbers the query checks.
    static const QRegularExpression dateForm(
        QRegularExpression::anchoredPattern(QStringLiteral("(\\d{4})-(\\d{2})-(\\d{2})")));
    const QRegularExpressionMatch d = dateForm.match(date);
    std::optional<QDate> day;
    if (d.hasMatch()) {
        const QDate asked(d.captured(1).toInt(), d.captured(2).toInt(), d.captured(3).toInt());
        if (asked.isValid())
            day = asked;
    }
    const HistoryQuery::Checked checked = HistoryQuery::check(q.from, q.to, day);
    const auto* range = std::get_if<HistoryRange>(&checked);
    q.result = range ? HistoryQuery::run(programDir, range->day, range->from, range->to, *q.data,
                                         keepTexts ? &q.texts : nullptr)
                     : std::get<HistoryQuery::Result>(checked);
    return q;
}

// A whole-number parameter from least to most, fallback when absent; nothing when it is not one.
std::optional<int> wholeNumber(const QUrlQuery& query, const char* name, int fallback, int least,
                               int most)
{
    if (!query.hasQueryItem(QLatin1String(name)))
        return fallback;
    bool ok = false;
    const int value = query.queryItemValue(QLatin1String(name)).toInt(&ok);
    if (!ok || value < least || value > most)
        return std::nullopt;
    return value;
}

QByteArray csvField(const QByteArray& text)
{
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n') && !text.contains('\r'))
        return text;
    return '"' + QByteArray(text).replace("\"", "\"\"") + '"';
}

QByteArray rounded(double value, int decimals)
{
    return LiveJson::number(roundHalfEven(value, decimals));
}

QByteArray optionalNumber(const std::optional<double>& value, int decimals)
{
    return value ? rounded(*value, decimals) : QByteArray();
}

QByteArray powerCurveCsv(const PowerCurveQuery& q)
{
    QByteArray out = "centre,wind,watts,minutes,sd,se,rpm,cp,tsr,complete\r\n";
    for (const PowerCurve::Bin& b : q.curve.bins)
        out += rounded(b.centre, 6) + ',' + rounded(b.wind, 3) + ',' + rounded(b.watts, 2) + ',' +
               QByteArray::number(b.minutes) + ',' + rounded(b.sd, 2) + ',' + rounded(b.se, 3) +
               ',' + rounded(b.rpm, 1) + ',' + optionalNumber(b.cp, 3) + ',' +
               optionalNumber(b.tsr, 2) + ',' + (b.complete ? "1" : "0") + "\r\n";
    return out;
}

QByteArray powerCurveJson(const PowerCurveQuery& q)
{
    const PowerCurve& c = q.curve;
    QByteArray out = "{\"from\":\"" + q.from.toString(Qt::ISODate).toLatin1() + "\",\"to\":\"" +
                     q.to.toString(Qt::ISODate).toLatin1() +
                     "\",\"bin_width\":" + rounded(c.width, 6) +
                     ",\"minutes_used\":" + QByteArray::number(c.minutesUsed) +
                     ",\"left_out\":{\"load_on\":" + QByteArray::number(c.leftOut.loadOn) +
                     ",\"few_frames\":" + QByteArray::number(c.leftOut.fewFrames) +
                     ",\"no_wind\":" + QByteArray::number(c.leftOut.noWind) +
                     "},\"complete\":" + (c.complete ? "true" : "false") +
                     ",\"complete_up_to\":" + rounded(c.completeUpTo, 6) + ",\"bins\":[";
    for (int i = 0; i < c.bins.size(); ++i) {
        const PowerCurve::Bin& b = c.bins[i];
        out += (i ? ",{" : "{") + QByteArray("\"centre\":") + rounded(b.centre, 6) +
               ",\"wind\":" + rounded(b.wind, 3) + ",\"watts\":" + rounded(b.watts, 2) +
               ",\"minutes\":" + QByteArray::number(b.minutes) + ",\"sd\":" + rounded(b.sd, 2) +
               ",\"se\":" + rounded(b.se, 3) + ",\"rpm\":" + rounded(b.rpm, 1);
        if (b.cp)
            out += ",\"cp\":" + rounded(*b.cp, 3) + ",\"tsr\":" + rounded(*b.tsr, 2);
        out += ",\"complete\":" + QByteArray(b.complete ? "true" : "false") + '}';
    }
    out += "],\"aep\":[";
    for (int i = 0; i < q.aep.size(); ++i) {
        const PowerCurve::Aep& a = q.aep[i];
        out += (i ? ",{" : "{") + QByteArray("\"mean_wind\":") + QByteArray::number(a.meanWind) +
               ",\"measured_kwh\":" + rounded(a.measuredKwh, 1) +
               ",\"extrapolated_kwh\":" + rounded(a.extrapolatedKwh, 1);
        if (a.makerKwh)
            out += ",\"maker_kwh\":" + rounded(*a.makerKwh, 1);
        if (a.ratio)
            out += ",\"ratio\":" + rounded(*a.ratio, 3);
        out += '}';
    }
    out += ']';
    if (!q.turbine.makerCurve.isEmpty()) {
        out += ",\"maker\":[";
        for (int i = 0; i < q.turbine.makerCurve.size(); ++i) {
            const QPointF& p = q.turbine.makerCurve[i];
            out += (i ? ",[" : "[") + LiveJson::number(p.x()) + ',' + LiveJson::number(p.y()) + ']';
        }
        out += ']';
    }
    out += ",\"points\":[";
    for (int i = 0; i < q.points.size(); ++i)
        out += (i ? ",[" : "[") + rounded(q.points[i].x(), 2) + ',' + rounded(q.points[i].y(), 1) + ']';
    out += ']';
    if (const QString problem = q.turbine.problem(); !problem.isEmpty())
        out += ",\"warnings\":[" + LiveJson::string(problem) + ']';
    return out + '}';
}

HttpResponse rangeAnswer(const QString& dir, const WebApi::DaySpan& span, int count, bool csv)
{
    RangeColumns cutter(QDateTime(span.from, QTime(0, 0)).toSecsSinceEpoch(),
                        QDateTime(span.to.addDays(1), QTime(0, 0)).toSecsSinceEpoch(), count);
    const QString problem =
        MinuteStore::eachOfDays(dir, span.from, span.to,
                                MinuteStore::Watts | MinuteStore::Wind | MinuteStore::Volts |
                                    MinuteStore::Rpm,
                                [&](const MinuteRow& row) { cutter.add(row); });
    if (!problem.isEmpty())
        return HttpResponse::error(500, problem);
    const QVector<RangeColumn> columns = cutter.columns();
    const auto spread = [](const RangeColumn::Spread& s, const char* sep) {
        return LiveJson::number(s.min) + sep + LiveJson::number(s.mean) + sep + LiveJson::number(s.max);
    };
    QByteArray out;
    if (csv) {
        out = "start,minutes,watts_min,watts_mean,watts_max,wind_min,wind_mean,wind_max,volts_min,"
              "volts_mean,volts_max,rpm_min,rpm_mean,rpm_max\r\n";
        for (const RangeColumn& c : columns) {
            out += QByteArray::number(c.start) + ',' + QByteArray::number(c.minutes);
            if (c.minutes > 0)
                out += ',' + spread(c.watts, ",") + ',' +
                       (c.wind ? spread(*c.wind, ",") : QByteArray(",,")) + ',' +
                       spread(c.volts, ",") + ',' + spread(c.rpm, ",");
            else
                out += ",,,,,,,,,,,,";
            out += "\r\n";
        }
        return {200, "text/csv; charset=utf-8", out, {}, {}};
    }
    const auto object = [](const RangeColumn::Spread& s) {
        return "{\"min\":" + LiveJson::number(s.min) + ",\"mean\":" + LiveJson::number(s.mean) +
               ",\"max\":" + LiveJson::number(s.max) + '}';
    };
    out = "{\"from\":\"" + span.from.toString(Qt::ISODate).toLatin1() + "\",\"to\":\"" +
          span.to.toString(Qt::ISODate).toLatin1() + "\",\"columns\":[";
    for (int i = 0; i < columns.size(); ++i) {
        const RangeColumn& c = columns[i];
        out += (i ? ",{" : "{") + QByteArray("\"start\":") + QByteArray::number(c.start) +
               ",\"minutes\":" + QByteArray::number(c.minutes);
        if (c.minutes > 0) {
            out += ",\"watts\":" + object(c.watts);
            if (c.wind)
                out += ",\"wind\":" + object(*c.wind);
            out += ",\"volts\":" + object(c.volts) + ",\"rpm\":" + object(c.rpm);
        }
        out += '}';
    }
    return HttpResponse::json(out + "]}");
}

HttpResponse energyAnswer(const QString& dir, const WebApi::DaySpan& span, EnergyPeriod::By by,
                          const QByteArray& byName, const QMap<QDate, double>& dayWattHours)
{
    EnergyPeriods tally(by, span.from, span.to,
                        QTimeZone::systemTimeZone());
    const QString problem =
        MinuteStore::eachOfDays(dir, span.from, span.to,
                                MinuteStore::Watts, [&](const MinuteRow& row) { tally.add(row); });
    if (!problem.isEmpty())
        return HttpResponse::error(500, problem);
    const auto periods = tally.periods(dayWattHours);
    QByteArray out = "{\"by\":\"" + byName + "\",\"periods\":[";
    for (int i = 0; i < periods.size(); ++i) {
        const EnergyPeriod& p = periods[i];
        out += (i ? ",{" : "{") + QByteArray("\"start\":\"") +
               p.start.toString(Qt::ISODate).toLatin1() +
               "\",\"produced_wh\":" + LiveJson::number(p.producedWh);
        if (p.dayWh)
            out += ",\"day_wh\":" + LiveJson::number(*p.dayWh);
        out += '}';
    }
    return HttpResponse::json(out + "]}");
}

} // namespace

// The dashboard and its chart library are built into the core library, which the linker
// would otherwise leave out.
static void registerPages()
{
    Q_INIT_RESOURCE(web);
    Q_INIT_RESOURCE(uplot);
}

// A file built into the program: it changes only with the program, so the tag of its bytes
// lets a browser keep it.
static HttpResponse builtIn(const QString& resource, const QByteArray& type)
{
    static QHash<QString, HttpResponse> made;
    auto found = made.constFind(resource);
    if (found == made.constEnd()) {
        QFile file(resource);
        file.open(QIODevice::ReadOnly);
        const QByteArray body = file.readAll();
        const QByteArray tag =
            '"' + QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex().left(20) + '"';
        found = made.insert(resource, HttpResponse{200, type, body, tag, {}});
    }
    return *found;
}

WebApi::WebApi(const Station& station) : m_station(station)
{
    registerPages();
}

HttpResponse WebApi::handle(const HttpRequest& request) const
{
    const QString& path = request.path;
    if (path == QLatin1String("/") || path == QLatin1String("/turbine")) {
        QFile page(path == QLatin1String("/") ? QStringLiteral(":/web/dashboard.html")
                                              : QStringLiteral(":/web/turbine.html"));
        page.open(QIODevice::ReadOnly);
        return {200, "text/html; charset=utf-8", page.readAll(), {}, {}};
    }
    if (path == QLatin1String("/api/live"))
        return live();
    if (path == QLatin1String("/api/energy"))
        return request.query.hasQueryItem(QStringLiteral("by")) ? energyByPeriod(request.query)
                                                                : energy(request.query);
    if (path == QLatin1String("/api/range") || path == QLatin1String("/api/range.csv"))
        return range(request.query, path.endsWith(QLatin1String(".csv")));
    if (path == QLatin1String("/page"))
        return page();
    // The pages' scripts and style sheets, built into the program.
    static const QMap<QString, QByteArray> assets{
        {QStringLiteral("/uplot.js"), "text/javascript; charset=utf-8"},
        {QStringLiteral("/uplot.css"), "text/css; charset=utf-8"},
        {QStringLiteral("/uplot-license.txt"), "text/plain; charset=utf-8"},
        {QStringLiteral("/period.js"), "text/javascript; charset=utf-8"},
        {QStringLiteral("/wendro.css"), "text/css; charset=utf-8"}};
    if (const auto asset = assets.constFind(path); asset != assets.constEnd())
        return builtIn(QStringLiteral(":/web") + path, *asset);
    if (path == QLatin1String("/api/powercurve") || path == QLatin1String("/api/powercurve.csv"))
        return powerCurve(request.query, path.endsWith(QLatin1String(".csv")));
    static const QString dayPrefix = QStringLiteral("/api/day/");
    if (path.startsWith(dayPrefix)) {
        const QString date = path.mid(dayPrefix.size());
        const bool csv = date.endsWith(QLatin1String(".csv"));
        return day(csv ? date.chopped(4) : date, csv, request.query);
    }
    static const QString graphPrefix = QStringLiteral("/graph/");
    if (path.startsWith(graphPrefix) && path.endsWith(QLatin1String(".png")))
        return graph(path.mid(graphPrefix.size()).chopped(4), request.query);
    return HttpResponse::error(404, QStringLiteral("There is no page %1 here.").arg(path));
}

HttpResponse WebApi::live() const
{
    const Reading& r = m_station.reading();
    const QDateTime last = m_station.lastFrameTime();
    QByteArray status = "[";
    for (const QString& line : m_station.statusLines())
        status += (status.size() > 1 ? "," : "") + LiveJson::string(line);
    const QByteArray extra =
        ",\"age_s\":" + (last.isValid() ? LiveJson::number(last.msecsTo(m_station.now()) / 1000.0)
                                        : QByteArrayLiteral("null")) +
        ",\"logging\":" + (m_station.isLogging() ? "true" : "false") +
        ",\"interval_s\":" + LiveJson::number(m_station.loggingIntervalMs() / 1000.0) +
        ",\"status\":" + status + "]" +
        ",\"version\":" + LiveJson::string(QStringLiteral(WENDRO_VERSION));
    return HttpResponse::json(LiveJson::object(r, m_station.config().WSUnits, last,
                                               ",\"watt_hours\":" + LiveJson::number(r.WattHours),
                                               extra));
}

HttpResponse WebApi::day(const QString& date, bool csv, const QUrlQuery& query) const
{
    const DayQuery q = runQuery(date, query, m_station.programDir(), true);
    if (!q.result.draw())
        return HttpResponse::error(q.status(), q.result.message);
    if (csv) {
        QByteArray out = "time,volts,amps,watts,rpm,wind,mode\r\n";
        for (const RecordTexts& t : q.texts) {
            for (const QByteArray* field : {&t.time, &t.volts, &t.amps, &t.watts, &t.rpm, &t.wind})
                out += csvField(*field) + ',';
            out += csvField(t.mode) + "\r\n";
        }
        return {200, "text/csv; charset=utf-8", out, pastDayTag(date, "csv " + q.from + ' ' + q.to), {}};
    }
    QJsonArray records;
    const HistoryData& d = *q.data;
    for (int i = 1; i <= d.loadedCount(); ++i) {
        records.append(QJsonObject{{QStringLiteral("time"), HistoryData::shortTime(d.HistoryTimes[i])},
                                   {QStringLiteral("volts"), d.HistoryVolts[i]},
                                   {QStringLiteral("amps"), d.HistoryAmps[i]},
                                   {QStringLiteral("watts"), d.HistoryWatts[i]},
                                   {QStringLiteral("rpm"), d.HistoryRpm[i]},
                                   {QStringLiteral("wind"), d.HistoryWind[i]},
                                   {QStringLiteral("mode"), d.HistoryModes[i]}});
    }
    HttpResponse response = HttpResponse::json(compact({{QStringLiteral("date"), date},
                                                        {QStringLiteral("from"), q.from},
                                                        {QStringLiteral("to"), q.to},
                                                        {QStringLiteral("records"), records}}));
    response.etag = pastDayTag(date, "json " + q.from + ' ' + q.to);
    return response;
}

HttpResponse WebApi::graph(const QString& date, const QUrlQuery& query) const
{
    const auto w = wholeNumber(query, "w", 960, 100, 4096);
    const auto h = wholeNumber(query, "h", 540, 100, 4096);
    if (!w || !h)
        return HttpResponse::error(400, QStringLiteral("w and h are whole numbers of pixels "
                                                       "from 100 to 4096."));
    // The series the history window opens with, unless the request names them.
    GraphSettings settings = GraphSettings::opening(m_station.config());
    bool* flags[] = {&settings.ShowVolts, &settings.ShowAmps, &settings.ShowWatts,
                     &settings.ShowRpm, &settings.ShowWind};
    const QString letters = QStringLiteral("vawrs");
    QStringList shown;
    for (int i = 0; i < 5; ++i) {
        if (*flags[i])
            shown << letters[i];
    }
    QString series = shown.join(QLatin1Char(','));
    if (query.hasQueryItem(QStringLiteral("series"))) {
        series = query.queryItemValue(QStringLiteral("series"));
        for (bool* flag : flags)
            *flag = false;
        for (const QString& s : series.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const int at = letters.indexOf(s);
            if (s.size() != 1 || at < 0)
                return HttpResponse::error(400,
                                           QStringLiteral("series is a list of v, a, w, r and s."));
            *flags[at] = true;
        }
    }

    const DayQuery q = runQuery(date, query, m_station.programDir(), false);
    if (!q.result.draw())
        return HttpResponse::error(q.status(), q.result.message);
    const GraphPicture picture = DrawGraph::draw(*q.data, settings, PlotExtents());
    const QSize size(*w, *h);
    const QByteArray etag =
        pastDayTag(date, QStringLiteral("png %1 %2 %3 %4 %5 %6")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(series, settings.WSUnits, q.from, q.to));
    // Drawing and compressing a large picture takes long: a worker does it from a copy.
    HttpResponse response;
    response.etag = etag;
    response.work = [picture, size, etag] {
        const QImage image = GraphImage::render(picture, size);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        // The graph has a handful of colours: as a palette picture it is written several
        // times faster and far smaller.
        image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither)
            .save(&buffer, "PNG", 70);
        return HttpResponse{200, "image/png", png, etag, {}};
    };
    return response;
}

QByteArray WebApi::pastDayTag(const QString& date, const QString& asked) const
{
    // Today's records still grow; an earlier day's change only when someone edits the file,
    // which its size and time then show.
    const QDate day = QDate::fromString(date, Qt::ISODate);
    if (!day.isValid() || day >= m_station.now().date())
        return {};
    const QFileInfo file(HistoryQuery::logPath(m_station.programDir(), day));
    if (!file.exists())
        return {};
    const QByteArray key = asked.toUtf8() + ' ' + QByteArray::number(file.size()) + ' ' +
                           QByteArray::number(file.lastModified().toMSecsSinceEpoch());
    return '"' + QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(20) + '"';
}

HttpResponse WebApi::energy(const QUrlQuery& query) const
{
    const std::optional<int> asked = wholeNumber(query, "days", 31, 1, 3660);
    if (!asked)
        return HttpResponse::error(400, QStringLiteral("days is a whole number from 1 to 3660."));
    const int days = *asked;
    const QDate today = m_station.now().date();
    QMap<QDate, double> all = m_station.energyDays();
    if (!all.contains(today))
        all.insert(today, 0);
    QJsonArray list;
    const QDate first = today.addDays(1 - days);
    for (auto day = all.constEnd(); day != all.constBegin();) {
        --day;
        if (day.key() > today)
            continue;
        if (day.key() < first)
            break;
        list.append(QJsonObject{{QStringLiteral("date"), day.key().toString(Qt::ISODate)},
                                {QStringLiteral("watt_hours"), day.value()}});
    }
    return HttpResponse::json(compact({{QStringLiteral("days"), list}}));
}

HttpResponse WebApi::page() const
{
    const QString name = WebPagePublisher::pageFile();
    QFile file(QDir(m_station.programDir()).filePath(name));
    if (!file.exists())
        return HttpResponse::error(404, name + QStringLiteral(" has not been written: turn on "
                                                       "\"Save HTML page?\" in Program Setup."));
    if (!file.open(QIODevice::ReadOnly))
        return HttpResponse::error(500, name + QStringLiteral(": ") + file.errorString());
    return {200, "text/html; charset=utf-8", file.readAll(), {}, {}};
}

std::optional<WebApi::DaySpan> WebApi::daySpan(const QUrlQuery& query, bool limited,
                                               HttpResponse* refusal)
{
    static const QRegularExpression form(
        QRegularExpression::anchoredPattern(QStringLiteral("\\d{4}-\\d{2}-\\d{2}")));
    QDate days[2];
    const char* names[2] = {"from", "to"};
    for (int i = 0; i < 2; ++i) {
        const QString text = query.queryItemValue(QLatin1String(names[i]));
        days[i] = form.match(text).hasMatch() ? QDate::fromString(text, Qt::ISODate) : QDate();
        if (!days[i].isValid()) {
            *refusal = HttpResponse::error(400, QStringLiteral("from and to are dates as YYYY-MM-DD."));
            return std::nullopt;
        }
    }
    if (days[0] > days[1]) {
        *refusal = HttpResponse::error(400, QStringLiteral("from is after to."));
        return std::nullopt;
    }
    if (limited && days[0].daysTo(days[1]) >= 400) {
        *refusal = HttpResponse::error(413, QStringLiteral("A range is at most 400 days."));
        return std::nullopt;
    }
    return DaySpan{days[0], days[1]};
}

HttpResponse WebApi::range(const QUrlQuery& query, bool csv) const
{
    HttpResponse refusal;
    const auto span = daySpan(query, true, &refusal);
    if (!span)
        return refusal;
    const std::optional<int> count = wholeNumber(query, "columns", 1000, 10, 4000);
    if (!count)
        return HttpResponse::error(400, QStringLiteral("columns is a whole number from 10 to 4000."));
    // A year of minutes is read on a worker, away from the frames.
    HttpResponse response;
    response.work = [dir = m_station.programDir(), span = *span, count = *count, csv] {
        return rangeAnswer(dir, span, count, csv);
    };
    return response;
}

HttpResponse WebApi::energyByPeriod(const QUrlQuery& query) const
{
    const QString by = query.queryItemValue(QStringLiteral("by"));
    const QStringList names{QStringLiteral("day"), QStringLiteral("month"), QStringLiteral("year")};
    if (!names.contains(by))
        return HttpResponse::error(400, QStringLiteral("by is day, month or year."));
    HttpResponse refusal;
    const auto span = daySpan(query, false, &refusal);
    if (!span)
        return refusal;
    HttpResponse response;
    response.work = [dir = m_station.programDir(), span = *span,
                     period = EnergyPeriod::By(names.indexOf(by)), name = by.toLatin1(),
                     days = m_station.energyDays()] {
        return energyAnswer(dir, span, period, name, days);
    };
    return response;
}

HttpResponse WebApi::powerCurve(const QUrlQuery& query, bool csv) const
{
    HttpResponse refusal;
    const auto span = daySpan(query, true, &refusal);
    if (!span)
        return refusal;
    double width = PowerCurve::DefaultWidth;
    if (query.hasQueryItem(QStringLiteral("bin"))) {
        const auto asked = parseNumber(query.queryItemValue(QStringLiteral("bin")));
        if (!asked || !PowerCurve::validWidth(*asked))
            return HttpResponse::error(400, QStringLiteral("bin is a width in m/s from 0.1 to 2."));
        width = *asked;
    }
    // A year of minutes is summed on a worker, away from the frames.
    HttpResponse response;
    response.work = [dir = m_station.programDir(), span = *span, width, csv] {
        const PowerCurveQuery q = PowerCurveQuery::run(dir, span.from, span.to, width);
        if (!q.problem.isEmpty())
            return HttpResponse::error(500, q.problem);
        if (csv)
            return HttpResponse{200, "text/csv; charset=utf-8", powerCurveCsv(q), {}, {}};
        return HttpResponse::json(powerCurveJson(q));
    };
    return response;
}
