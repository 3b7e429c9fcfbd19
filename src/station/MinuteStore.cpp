#include "MinuteStore.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <sqlite3.h>

namespace {

constexpr char Schema[] = R"(CREATE TABLE IF NOT EXISTS minutes (
  start       INTEGER PRIMARY KEY, -- Unix time (UTC seconds) of the minute's first second
  frames      INTEGER NOT NULL,    -- frames converted in the minute
  load_frames INTEGER NOT NULL,    -- of those, frames with the load on (Mode 1)
  wind        REAL,  -- mean wind speed, m/s
  wind_max    REAL,  -- highest wind speed in the minute, m/s
  wind_sd     REAL,  -- sample standard deviation (n - 1) of the wind speed over its frames, m/s
  watts       REAL,  -- mean power, W
  watts_max   REAL,  -- highest power, W
  volts       REAL,  -- mean battery volts
  amps        REAL,  -- mean amps
  rpm         REAL   -- mean RPM
) WITHOUT ROWID)";

constexpr char Columns[] =
    "start, frames, load_frames, wind, wind_max, wind_sd, watts, watts_max, volts, amps, rpm";

struct Finalize
{
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

Statement statement(sqlite3* db, const char* sql)
{
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    return Statement(s);
}

void bindOptional(sqlite3_stmt* s, int index, std::optional<double> value)
{
    if (value)
        sqlite3_bind_double(s, index, *value);
    else
        sqlite3_bind_null(s, index);
}

std::optional<double> optionalColumn(sqlite3_stmt* s, int index)
{
    if (sqlite3_column_type(s, index) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_column_double(s, index);
}

MinuteRow rowOf(sqlite3_stmt* s)
{
    MinuteRow r;
    r.start = sqlite3_column_int64(s, 0);
    r.frames = sqlite3_column_int(s, 1);
    r.loadFrames = sqlite3_column_int(s, 2);
    r.wind = optionalColumn(s, 3);
    r.windMax = optionalColumn(s, 4);
    r.windSd = optionalColumn(s, 5);
    r.watts = sqlite3_column_double(s, 6);
    r.wattsMax = sqlite3_column_double(s, 7);
    r.volts = sqlite3_column_double(s, 8);
    r.amps = sqlite3_column_double(s, 9);
    r.rpm = sqlite3_column_double(s, 10);
    return r;
}

bool damaged(int code)
{
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

} // namespace

MinuteStore::~MinuteStore()
{
    close();
}

void MinuteStore::close()
{
    if (m_db)
        sqlite3_close(m_db);
    m_db = nullptr;
}

QString MinuteStore::failure(const char* what) const
{
    return QStringLiteral("%1: cannot %2: %3")
        .arg(m_path, QLatin1String(what), QString::fromUtf8(sqlite3_errmsg(m_db)));
}

QString MinuteStore::open(const QString& path, const QDate& today, QString* note)
{
    close();
    m_path = path;
    QString problem = prepare(path);
    if (problem.isEmpty() || !damaged(sqlite3_extended_errcode(m_db) & 0xff))
        return problem;
    close();
    // Set aside, never deleted: the owner may want what it held.
    QString aside = path + QStringLiteral(".damaged-") + today.toString(Qt::ISODate);
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".damaged-%1-%2").arg(today.toString(Qt::ISODate)).arg(n);
    if (!QFile::rename(path, aside))
        return QStringLiteral("%1 is damaged and cannot be set aside").arg(path);
    for (const char* journal : {"-wal", "-shm"})
        QFile::remove(path + QLatin1String(journal));
    if (note)
        *note = QStringLiteral("%1 was damaged: kept as %2, a new one begun")
                    .arg(path, QFileInfo(aside).fileName());
    return prepare(path);
}

QString MinuteStore::openToRead(const QString& path)
{
    close();
    m_path = path;
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        const QString problem = failure("open it");
        close();
        return problem;
    }
    sqlite3_busy_timeout(m_db, 200);
    return {};
}

QString MinuteStore::prepare(const QString& path)
{
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return failure("open it");
    sqlite3_busy_timeout(m_db, 200);
    // Reading the version is the first look inside: a file that is no database fails here.
    Statement version = statement(m_db, "PRAGMA user_version");
    if (!version || sqlite3_step(version.get()) != SQLITE_ROW)
        return failure("read it");
    const int found = sqlite3_column_int(version.get(), 0);
    version.reset();
    if (found > Version)
        return QStringLiteral("%1 was made by a newer Wendro (layout %2): not written")
            .arg(path)
            .arg(found);
    const QByteArray setUp = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; " +
                             QByteArray(Schema) + "; PRAGMA user_version=" +
                             QByteArray::number(Version) + ';';
    if (sqlite3_exec(m_db, setUp.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return failure("set it up");
    return {};
}

QString MinuteStore::write(const QVector<MinuteRow>& rows)
{
    if (!m_db)
        return QStringLiteral("%1 is not open").arg(m_path);
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return failure("write to it");
    Statement find = statement(m_db, ("SELECT " + QByteArray(Columns) +
                                      " FROM minutes WHERE start = ?").constData());
    Statement put = statement(
        m_db, ("INSERT OR REPLACE INTO minutes (" + QByteArray(Columns) +
               ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").constData());
    bool ok = find && put;
    for (const MinuteRow& given : rows) {
        if (!ok)
            break;
        MinuteRow row = given;
        sqlite3_bind_int64(find.get(), 1, row.start);
        if (sqlite3_step(find.get()) == SQLITE_ROW)
            row = MinuteRow::combine(rowOf(find.get()), given);
        sqlite3_reset(find.get());
        sqlite3_bind_int64(put.get(), 1, row.start);
        sqlite3_bind_int(put.get(), 2, row.frames);
        sqlite3_bind_int(put.get(), 3, row.loadFrames);
        bindOptional(put.get(), 4, row.wind);
        bindOptional(put.get(), 5, row.windMax);
        bindOptional(put.get(), 6, row.windSd);
        int column = 7;
        for (double value : {row.watts, row.wattsMax, row.volts, row.amps, row.rpm})
            sqlite3_bind_double(put.get(), column++, value);
        ok = sqlite3_step(put.get()) == SQLITE_DONE;
        sqlite3_reset(put.get());
    }
    if (ok && sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
        return {};
    const QString problem = failure("write to it");
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    return problem;
}

QVector<MinuteRow> MinuteStore::rows(qint64 start, qint64 end, QString* error) const
{
    QVector<MinuteRow> found;
    if (!m_db)
        return found;
    Statement select = statement(m_db, ("SELECT " + QByteArray(Columns) +
                                        " FROM minutes WHERE start >= ? AND start < ? "
                                        "ORDER BY start").constData());
    if (!select) {
        if (error)
            *error = failure("read it");
        return found;
    }
    sqlite3_bind_int64(select.get(), 1, start);
    sqlite3_bind_int64(select.get(), 2, end);
    int step;
    while ((step = sqlite3_step(select.get())) == SQLITE_ROW)
        found.append(rowOf(select.get()));
    if (step != SQLITE_DONE && error)
        *error = failure("read it");
    return found;
}

QString MinuteStore::powerCurveSums(qint64 start, qint64 end, double width,
                                    QVector<PowerCurve::Sums>* bins,
                                    PowerCurve::LeftOut* leftOut) const
{
    if (!m_db)
        return QStringLiteral("%1 is not open").arg(m_path);
    // The bin is floor(wind / width + 1/2); the small addend keeps 4.75 in the 4.8 bin of
    // width 0.1, where floating point division falls just below. A negative mean wind (a
    // negative divider) is no wind to bin. The sorter of GROUP BY stays in memory with a
    // larger cache: spilled to a file it costs several times more.
    sqlite3_exec(m_db, "PRAGMA cache_size=-32768", nullptr, nullptr, nullptr);
    Statement sums = statement(
        m_db, "SELECT CAST(wind / ?1 + 0.500000001 AS INTEGER) AS bin, count(*), sum(wind), "
              "sum(watts), sum(watts * watts), sum(rpm) FROM minutes WHERE start >= ?2 AND "
              "start < ?3 AND load_frames = 0 AND frames >= ?4 AND wind >= 0 GROUP BY bin");
    Statement left = statement(
        m_db, "SELECT total(load_frames > 0), total(load_frames = 0 AND frames < ?3), "
              "total(load_frames = 0 AND frames >= ?3 AND coalesce(wind, -1) < 0) FROM minutes "
              "WHERE start >= ?1 AND start < ?2");
    if (!sums || !left)
        return failure("read it");
    sqlite3_bind_double(sums.get(), 1, width);
    sqlite3_bind_int64(sums.get(), 2, start);
    sqlite3_bind_int64(sums.get(), 3, end);
    sqlite3_bind_int(sums.get(), 4, PowerCurve::MinFrames);
    bins->clear();
    int step;
    while ((step = sqlite3_step(sums.get())) == SQLITE_ROW) {
        PowerCurve::Sums s;
        s.index = sqlite3_column_int(sums.get(), 0);
        s.minutes = sqlite3_column_int(sums.get(), 1);
        s.wind = sqlite3_column_double(sums.get(), 2);
        s.watts = sqlite3_column_double(sums.get(), 3);
        s.wattsSquared = sqlite3_column_double(sums.get(), 4);
        s.rpm = sqlite3_column_double(sums.get(), 5);
        bins->append(s);
    }
    if (step != SQLITE_DONE)
        return failure("read it");
    sqlite3_bind_int64(left.get(), 1, start);
    sqlite3_bind_int64(left.get(), 2, end);
    sqlite3_bind_int(left.get(), 3, PowerCurve::MinFrames);
    if (sqlite3_step(left.get()) != SQLITE_ROW)
        return failure("read it");
    *leftOut = {sqlite3_column_int(left.get(), 0), sqlite3_column_int(left.get(), 1),
                sqlite3_column_int(left.get(), 2)};
    return {};
}
