#include "DrawGraph.h"

#include "common/NumberText.h"

namespace {

using Values = std::array<double, HistoryData::Capacity>;

struct Series
{
    const Values& values;
    bool shown;
    QRgb colour;
    // Seeds take part in the comparisons: a maximum never ends below its seed.
    double max;
    double min;
    double range = 0;
    double scale = 2;

    void take(double value)
    {
        if (value > max)
            max = value;
        if (value < min)
            min = value;
    }

    // Range plus a twentieth, so the extremes sit a fortieth of the range inside the edges.
    void computeScale()
    {
        range = max - min;
        scale = range > 0 ? range / 20 + range : 2;
    }

    // Flat data is drawn across the middle of the scale of 2.
    double y(double value) const { return range > 0 ? max - value + range / 40 : 1.0; }
};

QString withUnit(double value, const QString& unit)
{
    return NumberText(value) + unit;
}

} // namespace

GraphPicture DrawGraph::draw(const HistoryData& data, const GraphSettings& settings,
                             PlotExtents extents)
{
    GraphPicture picture;
    picture.extents = extents;
    picture.plot.append(PlotItem{});
    if (!(data.ViewFirst < data.ViewLast) || data.loadedCount() < 1)
        return picture;
    // The window keeps the view on the loaded records already; this guards any other caller,
    // so no position reads past the records and no loop outgrows them.
    const double first = data.clampPosition(data.ViewFirst);
    const double last = data.clampPosition(data.ViewLast);
    if (!(first < last))
        return picture;

    Series series[] = {
        {data.HistoryVolts, settings.ShowVolts, VoltsColour, 0,
         settings.RefVoltsToZero ? 0.0 : 100.0},
        {data.HistoryAmps, settings.ShowAmps, AmpsColour, -500, 500},
        {data.HistoryWatts, settings.ShowWatts, WattsColour, -2000, 2000},
        {data.HistoryRpm, settings.ShowRpm, RpmColour, 0, 1000},
        {data.HistoryWind, settings.ShowWind, WindColour, 0, 1000},
    };
    Series& volts = series[0];
    Series& amps = series[1];
    Series& watts = series[2];
    Series& rpm = series[3];
    Series& wind = series[4];

    picture.rows.reserve(int(last - first) + 1);
    for (double i = first; i <= last; i += 1) {
        const int k = data.recordIndex(i);
        for (Series& s : series)
            s.take(s.values[size_t(k)]);
        picture.rows.append(data, k);
    }

    const QString spaceUnits = QLatin1Char(' ') + settings.WSUnits;
    picture.labels = GraphLabels{
        HistoryData::shortTime(data.HistoryTimes[size_t(data.recordIndex(first))]),
        HistoryData::shortTime(data.HistoryTimes[size_t(data.recordIndex(last))]),
        withUnit(volts.max, QStringLiteral(" V")),
        withUnit(volts.min, QStringLiteral(" V")),
        withUnit(amps.max, QStringLiteral(" A")),
        withUnit(amps.min, QStringLiteral(" A")),
        withUnit(watts.max, QStringLiteral(" W")),
        withUnit(watts.min, QStringLiteral(" W")),
        withUnit(rpm.max, QStringLiteral(" RPM")),
        withUnit(rpm.min, QStringLiteral(" RPM")),
        withUnit(wind.max, spaceUnits),
        withUnit(wind.min, spaceUnits),
    };

    PlotExtents& scale = picture.extents;
    DisplayList& plot = picture.plot;
    const double width = last - first;
    scale.width = width;
    for (Series& s : series)
        s.computeScale();

    // Amps and watts get a zero-crossing reference line at their maximum, each in its scale.
    for (const Series* s : {&amps, &watts}) {
        scale.height = s->scale;
        if (s->max > 0 && s->min < 0)
            plot.append(PlotItem::line(ReferenceColour, {0, s->max}, {width, s->max}, scale));
    }

    int shown = 0;
    for (const Series& s : series)
        shown += s.shown ? 1 : 0;
    plot.reserve(plot.size() + (picture.rows.size() - 1) * (shown + 1));

    for (double i = first + 1; i <= last; i += 1) {
        const int k = data.recordIndex(i);
        const int previous = data.recordIndex(i - 1);
        const double x1 = (i - 1) - first;
        const double x2 = i - first;
        // The box takes whatever vertical extent the previous drawing left in force, and
        // goes first so the segments of the same position lie on top of it.
        if (data.HistoryModes[size_t(k)] == 1)
            plot.append(PlotItem::box(ModeBoxColour, {x1, 0}, {x2, volts.max}, scale));
        for (const Series& s : series) {
            if (!s.shown)
                continue;
            scale.height = s.scale;
            plot.append(PlotItem::line(s.colour, {x1, s.y(s.values[size_t(previous)])},
                                       {x2, s.y(s.values[size_t(k)])}, scale));
        }
    }
    return picture;
}
