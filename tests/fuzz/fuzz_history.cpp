// A day's log of any content read back by HistoryQuery and drawn by DrawGraph, with the views
// the history window can reach: the whole query, a drag zoom, and a view left from before.
#include "FuzzCheck.h"

#include "history/CursorReadout.h"
#include "history/DrawGraph.h"
#include "history/HistoryQuery.h"

#include <cmath>
#include <memory>

namespace {

void checkLoaded(const HistoryData& data, int fromMinute, int toMinute)
{
    FUZZ_CHECK(data.HistoryCount >= 1 && data.HistoryCount <= HistoryData::MaxRecords);
    FUZZ_CHECK(data.ViewFirst == 1 && data.ViewLast == data.HistoryCount && !data.zoomed);
    for (size_t k = 1; k <= size_t(data.HistoryCount); ++k) {
        const double minute = data.HistoryTimes[k] * 1440;
        FUZZ_CHECK(minute > fromMinute && minute < toMinute);
        for (double v : {data.HistoryVolts[k], data.HistoryAmps[k], data.HistoryWatts[k],
                         data.HistoryRpm[k], data.HistoryWind[k]})
            FUZZ_CHECK(std::isfinite(v));
    }
}

PlotExtents draw(const HistoryData& data, const GraphSettings& settings, PlotExtents extents)
{
    const GraphPicture picture = DrawGraph::draw(data, settings, extents);
    FUZZ_CHECK(!picture.plot.isEmpty() && picture.plot.first().kind == PlotItem::Kind::Clear);
    for (const PlotItem& item : picture.plot)
        for (const QPointF& p : {item.p1, item.p2})
            FUZZ_CHECK(p.x() >= -1 && p.x() <= 2 && p.y() >= -1 && p.y() <= 2);
    FUZZ_CHECK(picture.rows.size() <= data.loadedCount());
    for (int row = 0; row < picture.rows.size(); row += 1 + picture.rows.size() / 4)
        for (int column = 0; column < HistoryRows::ColumnCount; ++column)
            picture.rows.cell(row, column);
    // The pointer anywhere over the plot, and off both ends.
    for (double x : {-3.0, 0.0, picture.extents.width / 2, picture.extents.width + 7})
        CursorReadout::at(data, x, settings.WSUnits);
    return picture.extents;
}

// zoom picks the drag's two ends, as fractions of the records, from the input.
void drawViews(HistoryData& data, quint32 zoom)
{
    const GraphSettings all{true, true, true, true, true, false, QStringLiteral("km/h")};
    const int count = data.HistoryCount;
    PlotExtents extents = draw(data, all, PlotExtents{});
    // A drag zoom between two fractional positions, as the mouse leaves them.
    const double from = (zoom & 0xffff) / 65536.0;
    const double to = from + (1 - from) * (zoom >> 16) / 65536.0;
    data.ViewFirst = data.clampPosition(1 + (count - 1) * from);
    data.ViewLast = data.clampPosition(1 + (count - 1) * to + 0.3);
    data.zoomed = true;
    extents = draw(data, {true, false, true, false, true, true, QStringLiteral("mph")}, extents);
    // A view from an earlier, longer query that no caller narrowed.
    data.ViewFirst = -3;
    data.ViewLast = count + 50.5;
    draw(data, all, extents);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QString& dir = fuzzProgramDir();
    writeFuzzFile(HistoryQuery::logPath(dir, QDate(2010, 3, 7)),
                  QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(size)));

    // One HistoryData for both queries, as the window keeps one between queries. Copied from
    // a blank one rather than allocated, so each input does not pay for fresh pages.
    static const auto blank = std::make_unique<HistoryData>();
    static const auto data = std::make_unique<HistoryData>();
    *data = *blank;
    // The whole day, then 06:00 to 18:30.
    for (const auto& [from, to] : {std::pair(QTime(0, 0), QTime(23, 59)),
                                   std::pair(QTime(6, 0), QTime(18, 30))}) {
        const auto result = HistoryQuery::run(dir, QDate(2010, 3, 7), from, to, *data);
        switch (result.outcome) {
        case HistoryQuery::Outcome::Loaded:
            checkLoaded(*data, from.hour() * 60 + from.minute(), to.hour() * 60 + to.minute());
            drawViews(*data, inputHash(bytes, size));
            break;
        case HistoryQuery::Outcome::TooMany:
            FUZZ_CHECK(data->HistoryCount == HistoryData::MaxRecords + 1);
            // The window may still be zoomed over the view it had before.
            drawViews(*data, inputHash(bytes, size));
            break;
        case HistoryQuery::Outcome::NoData:
            FUZZ_CHECK(data->HistoryCount == 0);
            break;
        default:
            FUZZ_CHECK(!"a readable file with good boxes gives Loaded, TooMany or NoData");
        }
    }
    return 0;
}
