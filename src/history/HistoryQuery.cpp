#include "HistoryQuery.h"

#include "common/DayStamp.h"
#include "common/NumberParse.h"
#include "common/Rounding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>

namespace {

// A whole day's log is well under this, so it is read in one go; a longer file is read in
// blocks, which keeps the memory bounded whatever lies in the logs folder.
constexpr qsizetype BlockSize = qsizetype(1) << 20;

// Hands out the file's lines, split at LF. The CR of a CR LF stays on the line, after its
// last tag, where no tag search can see it. A line longer than a block cannot be a record
// and is skipped without being kept.
class LineReader
{
public:
    explicit LineReader(QFile& file) : m_file(file) { m_buffer.resize(BlockSize); }

    // False at the end of the file, or on a read error (then failed() is true).
    bool next(QByteArrayView* line)
    {
        for (;;) {
            const char* base = m_buffer.constData();
            const void* lf = std::memchr(base + m_begin, '\n', size_t(m_end - m_begin));
            if (lf) {
                const qsizetype stop = static_cast<const char*>(lf) - base;
                const QByteArrayView found(base + m_begin, stop - m_begin);
                m_begin = stop + 1;
                if (m_skipping) {
                    m_skipping = false;
                    continue;
                }
                *line = found;
                return true;
            }
            if (m_atEnd) {
                if (m_begin == m_end || m_skipping)
                    return false;
                *line = QByteArrayView(base + m_begin, m_end - m_begin);
                m_begin = m_end;
                return true;
            }
            if (!fill())
                return false;
        }
    }

    bool failed() const { return m_failed; }

private:
    bool fill()
    {
        char* base = m_buffer.data();
        if (m_begin > 0) {
            std::memmove(base, base + m_begin, size_t(m_end - m_begin));
            m_end -= m_begin;
            m_begin = 0;
        }
        if (m_end == m_buffer.size()) {
            m_skipping = true;
            m_end = 0;
        }
        const qint64 got = m_file.read(base + m_end, m_buffer.size() - m_end);
        if (got < 0) {
            m_failed = true;
            return false;
        }
        m_atEnd = got == 0;
        m_end += qsizetype(got);
        return true;
    }

    QFile& m_file;
    QByteArray m_buffer;
    qsizetype m_begin = 0;
    qsizetype m_end = 0;
    bool m_atEnd = false;
    bool m_skipping = false;
    bool m_failed = false;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::optional<int> digits(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The forms parseTimeOfDay accepts, read straight from the line's bytes.
std::optional<int> minutesOfDay(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    const qsizetype colon = text.indexOf(':');
    if (colon < 0)
        return std::nullopt;
    const auto hours = digits(text.first(colon));
    const auto minutes = digits(text.sliced(colon + 1));
    if (!hours || !minutes || *hours > 23 || *minutes > 59)
        return std::nullopt;
    return *hours * 60 + *minutes;
}

// Where the first opening and the first closing tag of each key lie in one line, found in
// one scan over its "<" characters: the positions a search from the start for each tag
// would give, at a fraction of the cost of fourteen searches.
class LineTags
{
public:
    enum Key { V, I, W, R, S, M, T, KeyCount };

    explicit LineTags(QByteArrayView line) : m_line(line)
    {
        std::fill(std::begin(m_open), std::end(m_open), -1);
        std::fill(std::begin(m_close), std::end(m_close), -1);
        const char* data = line.data();
        const qsizetype size = line.size();
        qsizetype p = 0;
        while (p < size) {
            const void* found = std::memchr(data + p, '<', size_t(size - p));
            if (!found)
                break;
            p = static_cast<const char*>(found) - data;
            const bool closing = p + 1 < size && data[p + 1] == '/';
            const qsizetype keyAt = p + (closing ? 2 : 1);
            if (keyAt + 1 < size && data[keyAt + 1] == '>') {
                const int key = keyOf(data[keyAt]);
                qsizetype* first = closing ? m_close : m_open;
                if (key >= 0 && first[key] < 0)
                    first[key] = p;
            }
            ++p;
        }
    }

    // The text between the tags; nothing when a tag is missing or the closing one comes
    // before the end of the opening one.
    std::optional<QByteArrayView> value(Key key) const
    {
        const qsizetype begin = m_open[key] + 3;
        if (m_open[key] < 0 || m_close[key] < begin)
            return std::nullopt;
        return m_line.sliced(begin, m_close[key] - begin);
    }

    // A missing pair, a reversed pair and a text that is not a number all give 0.
    double number(Key key) const
    {
        const auto text = value(key);
        return text ? parseNumber(*text).value_or(0.0) : 0.0;
    }

private:
    // The enum follows the order of this text.
    static int keyOf(char c)
    {
        static const char keys[] = "VIWRSMT";
        const char* at = c == '\0' ? nullptr : std::strchr(keys, c);
        return at ? int(at - keys) : -1;
    }

    QByteArrayView m_line;
    qsizetype m_open[KeyCount];
    qsizetype m_close[KeyCount];
};

void store(const LineTags& tags, int minutes, int index, HistoryData& data)
{
    data.HistoryTimes[index] = minutes / 1440.0;
    data.HistoryVolts[index] = tags.number(LineTags::V);
    data.HistoryAmps[index] = tags.number(LineTags::I);
    data.HistoryRpm[index] = tags.number(LineTags::R);
    data.HistoryWatts[index] = tags.number(LineTags::W);
    data.HistoryWind[index] = tags.number(LineTags::S);
    data.HistoryModes[index] = toInt16(tags.number(LineTags::M)).value_or(qint16(0));
}

HistoryQuery::Result noRecords(HistoryData& data, HistoryQuery::Outcome outcome,
                               const QString& message)
{
    data.HistoryCount = 0;
    data.zoomed = false;
    return {outcome, message};
}

QString unreadableMessage(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot read the log for that date: %1 (%2)")
        .arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

HistoryQuery::Checked HistoryQuery::check(const QString& from, const QString& to,
                                          const std::optional<QDate>& day)
{
    const auto time = [](int minutes) { return QTime(minutes / 60, minutes % 60); };
    const auto start = parseTimeOfDay(from);
    if (!start)
        return Result{Outcome::BadStartTime, QStringLiteral("Bad time format for start time")};
    const auto finish = parseTimeOfDay(to);
    if (!finish)
        return Result{Outcome::BadFinishTime, QStringLiteral("Bad time format for finish time")};
    if (!day)
        return Result{Outcome::BadDate, QStringLiteral("Bad date format for record date")};
    return HistoryRange{*day, time(*start), time(*finish)};
}

HistoryQuery::Checked HistoryQuery::parseInput(const HistoryQueryInput& input)
{
    const QChar colon(QLatin1Char(':'));
    const QChar slash(QLatin1Char('/'));
    return check(input.fromHour + colon + input.fromMinute, input.toHour + colon + input.toMinute,
                 parseDate(input.day + slash + input.month + slash + input.year));
}

HistoryQuery::Result HistoryQuery::run(const QString& programDir, const QDate& day,
                                       const QTime& from, const QTime& to, HistoryData& data,
                                       QVector<RecordTexts>* texts)
{
    const int start = from.hour() * 60 + from.minute();
    const int finish = to.hour() * 60 + to.minute();
    const QString noData = QStringLiteral("No data for that date");
    const QString path = logPath(programDir, day);
    if (!QFileInfo::exists(path))
        return noRecords(data, Outcome::NoData, noData);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return noRecords(data, Outcome::Unreadable, unreadableMessage(path, file.errorString()));

    data.zoomed = false;
    int count = 0;
    LineReader reader(file);
    QByteArrayView line;
    while (reader.next(&line)) {
        const LineTags tags(line);
        const auto timeText = tags.value(LineTags::T);
        const auto minutes = timeText ? minutesOfDay(*timeText) : std::nullopt;
        if (!minutes || *minutes <= start || *minutes >= finish)
            continue;
        ++count;
        if (count > HistoryData::MaxRecords) {
            data.HistoryCount = qint16(count);
            return {Outcome::TooMany, tooManyMessage()};
        }
        store(tags, *minutes, count, data);
        if (texts) {
            const auto text = [&tags](LineTags::Key key) {
                return tags.value(key).value_or(QByteArrayView()).toByteArray();
            };
            texts->append({text(LineTags::T), text(LineTags::V), text(LineTags::I),
                           text(LineTags::W), text(LineTags::R), text(LineTags::S),
                           text(LineTags::M)});
        }
    }
    if (reader.failed())
        return noRecords(data, Outcome::Unreadable, unreadableMessage(path, file.errorString()));
    if (count == 0)
        return noRecords(data, Outcome::NoData, noData);

    data.HistoryCount = qint16(count);
    data.ViewFirst = 1;
    data.ViewLast = count;
    return {Outcome::Loaded, QString()};
}

QString HistoryQuery::logPath(const QString& programDir, const QDate& day)
{
    return programDir + QLatin1Char('/') + DailyLogFile(day);
}

QString HistoryQuery::tooManyMessage()
{
    return QStringLiteral("Over 10,000 records, too many to display. Please use a smaller time "
                          "range. If you set you logging interval to 10 seconds or more, you "
                          "wont have this problem in the future. ");
}
