#include "MinuteStore.h"

#include <QDateTime>
#include <QDir>
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

// In the order of MinuteStore::Field.
constexpr const char* FieldColumns[] = {"frames", "load_frames", "wind",      "wind_max", "wind_sd",
                                        "watts",  "watts_max",   "volts",     "amps",     "rpm"};

QByteArray columnList(unsigned fields)
{
    QByteArray columns = "start";
    for (int bit = 0; bit < 10; ++bit)
        if (fields & (1u << bit))
            columns += QByteArray(", ") + FieldColumns[bit];
    return columns;
}

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

std::optional<double> optionalValue(sqlite3_value* v)
{
    if (sqlite3_value_type(v) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_value_double(v);
}

// A row from the start and the fields' values, in the order of columnList(fields).
MinuteRow rowOf(sqlite3_value** v, unsigned fields)
{
    MinuteRow r;
    r.start = sqlite3_value_int64(v[0]);
    int column = 1;
    for (int bit = 0; bit < 10; ++bit) {
        if (!(fields & (1u << bit)))
            continue;
        sqlite3_value* value = v[column++];
        switch (1u << bit) {
        case MinuteStore::Frames: r.frames = sqlite3_value_int(value); break;
        case MinuteStore::LoadFrames: r.loadFrames = sqlite3_value_int(value); break;
        case MinuteStore::Wind: r.wind = optionalValue(value); break;
        case MinuteStore::WindMax: r.windMax = optionalValue(value); break;
        case MinuteStore::WindSd: r.windSd = optionalValue(value); break;
        case MinuteStore::Watts: r.watts = sqlite3_value_double(value); break;
        case MinuteStore::WattsMax: r.wattsMax = sqlite3_value_double(value); break;
        case MinuteStore::Volts: r.volts = sqlite3_value_double(value); break;
        case MinuteStore::Amps: r.amps = sqlite3_value_double(value); break;
        case MinuteStore::Rpm: r.rpm = sqlite3_value_double(value); break;
        }
    }
    return r;
}

struct Visit
{
    unsigned fields;
    const std::function<void(const MinuteRow&)>& visit;
};

// each_minute(start, fields...): hands each row to the visitor from inside SQLite's scan, an
// aggregate of our own, which costs far less a row than stepping a statement row by row.
void visitStep(sqlite3_context* context, int, sqlite3_value** v)
{
    const Visit& visit = *static_cast<const Visit*>(sqlite3_user_data(context));
    visit.visit(rowOf(v, visit.fields));
}

void visitFinal(sqlite3_context* context)
{
    sqlite3_result_null(context);
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
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        const QString problem = failure("open it");
        close();
        return problem;
    }
    sqlite3_busy_timeout(m_db, 200);
    // A year's read maps the file rather than copying it a page at a time.
    sqlite3_exec(m_db, "PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);
    return {};
}

QString MinuteStore::prepare(const QString& path)
{
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
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
    Statement find = statement(m_db, ("SELECT " + columnList(AllFields) +
                                      " FROM minutes WHERE start = ?").constData());
    Statement put = statement(
        m_db, ("INSERT OR REPLACE INTO minutes (" + columnList(AllFields) +
               ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").constData());
    bool ok = find && put;
    for (const MinuteRow& given : rows) {
        if (!ok)
            break;
        MinuteRow row = given;
        sqlite3_bind_int64(find.get(), 1, row.start);
        if (sqlite3_step(find.get()) == SQLITE_ROW) {
            sqlite3_value* found[11];
            for (int i = 0; i < 11; ++i)
                found[i] = sqlite3_column_value(find.get(), i);
            row = MinuteRow::combine(rowOf(found, AllFields), given);
        }
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

QString MinuteStore::each(qint64 start, qint64 end, unsigned fields,
                          const std::function<void(const MinuteRow&)>& visit) const
{
    if (!m_db)
        return {};
    Visit context{fields, visit};
    // Registered on this handle for this call only: the visitor lives on this stack. A scan
    // of the table's key takes the minutes in order of their start.
    if (sqlite3_create_function_v2(m_db, "each_minute", -1, SQLITE_UTF8, &context, nullptr,
                                   visitStep, visitFinal, nullptr) != SQLITE_OK)
        return failure("read it");
    Statement select = statement(m_db, ("SELECT each_minute(" + columnList(fields) +
                                        ") FROM minutes WHERE start >= ? AND start < ?")
                                           .constData());
    bool ok = false;
    if (select) {
        sqlite3_bind_int64(select.get(), 1, start);
        sqlite3_bind_int64(select.get(), 2, end);
        ok = sqlite3_step(select.get()) == SQLITE_ROW;
    }
    const QString problem = ok ? QString() : failure("read it");
    select.reset();
    sqlite3_create_function_v2(m_db, "each_minute", -1, SQLITE_UTF8, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    return problem;
}

QVector<MinuteRow> MinuteStore::rows(qint64 start, qint64 end, QString* error) const
{
    QVector<MinuteRow> found;
    const QString problem =
        each(start, end, AllFields, [&](const MinuteRow& row) { found.append(row); });
    if (error && !problem.isEmpty())
        *error = problem;
    return found;
}

QString MinuteStore::eachOfDays(const QString& programDir, const QDate& from, const QDate& to,
                               unsigned fields,
                               const std::function<void(const MinuteRow&)>& visit)
{
    const QString path = QDir(programDir).filePath(QString::fromLatin1(FileName));
    if (!QFileInfo::exists(path))
        return {};
    MinuteStore store;
    if (const QString problem = store.openToRead(path); !problem.isEmpty())
        return problem;
    return store.each(QDateTime(from, QTime(0, 0)).toSecsSinceEpoch(),
                      QDateTime(to.addDays(1), QTime(0, 0)).toSecsSinceEpoch(), fields, visit);
}
