#include "store/MemberStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

#include <atomic>

namespace {

// How long an operation waits for another program's lock on the file before it gives up.
constexpr int kBusyTimeoutMs = 3000;

QString columnList(std::span<const Field> fields)
{
    QStringList names;
    for (Field f : fields)
        names << QLatin1String(fieldName(f));
    return names.join(QLatin1String(", "));
}

QString engineText(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.driverText().trimmed() : text;
}

// The engine's primary result code (extended codes carry it in their low byte).
int primaryCode(const QSqlError& error)
{
    return error.nativeErrorCode().toInt() & 0xFF;
}

StoreError::Cause causeOf(StoreError::Kind kind, const QSqlError& error)
{
    using Cause = StoreError::Cause;
    switch (primaryCode(error)) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return Cause::Locked;
    case 8: // SQLITE_READONLY
        return Cause::ReadOnly;
    case 13: // SQLITE_FULL
        return Cause::DiskFull;
    case 26: // SQLITE_NOTADB
        return Cause::NotMemberFile;
    case 11: // SQLITE_CORRUPT
        return Cause::Damaged;
    case 14: // SQLITE_CANTOPEN: while writing, the journal could not be made beside the file
        return kind == StoreError::Kind::Write ? Cause::ReadOnly : Cause::CannotOpen;
    case 1: { // SQLITE_ERROR
        const QString text = error.databaseText();
        if (text.startsWith(QLatin1String("no such table")) || text.startsWith(QLatin1String("no such column")) ||
            text.startsWith(QLatin1String("table ficha has no column")))
            return Cause::NotMemberFile;
        return Cause::Other;
    }
    default:
        return Cause::Other;
    }
}

// One connection to the file, for the length of one store operation.
class Connection
{
public:
    enum class Mode { Existing, Create };

    Connection(const QString& path, Mode mode) : m_name(uniqueName())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        // mode=rw: a file that is missing must not be created behind the operator's back.
        QUrl url = QUrl::fromLocalFile(path);
        url.setQuery(mode == Mode::Existing ? QStringLiteral("mode=rw") : QStringLiteral("mode=rwc"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!db.open())
            m_openError = db.lastError();
    }

    ~Connection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool isOpen() const { return !m_openError.isValid(); }
    const QSqlError& openError() const { return m_openError; }
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

private:
    static QString uniqueName()
    {
        static std::atomic<quint64> counter{0};
        return QStringLiteral("socios-store-%1").arg(++counter);
    }

    QString m_name;
    QSqlError m_openError;
};

StoreError makeError(StoreError::Kind kind, const QString& path, const QString& detail)
{
    return StoreError{kind, path, detail, StoreError::Cause::Other};
}

StoreError engineError(StoreError::Kind kind, const QString& path, const QSqlError& error)
{
    return StoreError{kind, path, engineText(error), causeOf(kind, error)};
}

StoreError queryError(StoreError::Kind kind, const QString& path, const QSqlQuery& query)
{
    return engineError(kind, path, query.lastError());
}

// A write transaction that rolls back unless committed. BEGIN IMMEDIATE takes the write lock at once, so what
// the transaction reads cannot be changed by another program before it writes.
class WriteTransaction
{
public:
    explicit WriteTransaction(const QSqlDatabase& db) : m_query(db)
    {
        m_begun = m_query.exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~WriteTransaction()
    {
        if (m_begun && !m_committed)
            m_query.exec(QStringLiteral("ROLLBACK"));
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    bool begun() const { return m_begun; }
    bool commit()
    {
        m_committed = m_query.exec(QStringLiteral("COMMIT"));
        return m_committed;
    }
    const QSqlQuery& query() const { return m_query; }

private:
    QSqlQuery m_query;
    bool m_begun = false;
    bool m_committed = false;
};

const QString kCreateTable = QStringLiteral(
    "CREATE TABLE ficha (ntarjeta TEXT, nsocio TEXT, nombre TEXT, apellidos TEXT, calle TEXT, cp TEXT, "
    "ciudad TEXT, telefono TEXT, email TEXT, fnacimiento TEXT, observaciones TEXT, puntos TEXT, fcaducidad TEXT)");
// The birthday of a row as "mmdd", the key of the start-up list's lookup. The lookup's WHERE clause repeats this
// expression word for word so that the engine uses the index.
const QString kBirthdayKey = QStringLiteral("(substr(fnacimiento, 4, 2) || substr(fnacimiento, 1, 2))");
const QStringList kIndexes = {
    QStringLiteral("CREATE INDEX IF NOT EXISTS ficha_ntarjeta ON ficha (ntarjeta)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS ficha_cumple ON ficha ") + kBirthdayKey,
};

StoreStatus createDatabase(const QString& path)
{
    const QFileInfo target(path);
    if (!QDir().mkpath(target.absolutePath()))
        return makeError(StoreError::Kind::Create, path,
                         QStringLiteral("cannot create folder ") + target.absolutePath());

    // Built under a temporary name and moved into place only when complete, so that an interrupted first
    // start never leaves a half-made file at the path.
    const QString temporary = path + QStringLiteral(".new-") + QUuid::createUuid().toString(QUuid::Id128);
    StoreStatus error;
    {
        Connection connection(temporary, Connection::Mode::Create);
        if (!connection.isOpen()) {
            error = engineError(StoreError::Kind::Create, path, connection.openError());
        } else {
            QSqlQuery query(connection.database());
            for (const QString& statement : QStringList{kCreateTable} + kIndexes) {
                if (!query.exec(statement)) {
                    error = queryError(StoreError::Kind::Create, path, query);
                    break;
                }
            }
        }
    }
    if (error) {
        QFile::remove(temporary);
        return error;
    }
    // rename() never replaces a file: if another program created one meanwhile, that one stays.
    if (!QFile::rename(temporary, path))
        QFile::remove(temporary);
    return std::nullopt;
}

// Files made before the indexes existed, or by another program, get them on the first start: a lookup then costs
// the rows it finds, not the rows stored. Without them (a read-only file) every lookup still gives the same rows.
void addMissingIndexes(const QSqlDatabase& db, const QString& path)
{
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'ficha' "
                                  "AND name IN ('ficha_ntarjeta', 'ficha_cumple')")) &&
        query.next() && query.value(0).toInt() == int(kIndexes.size()))
        return;
    query.finish();
    WriteTransaction transaction(db);
    bool done = transaction.begun();
    for (const QString& statement : kIndexes)
        done = done && query.exec(statement);
    done = done && transaction.commit();
    if (!done)
        qWarning("socios: lookups in %s stay unindexed: %s", qUtf8Printable(path),
                 qUtf8Printable(
                     engineText(query.lastError().isValid() ? query.lastError() : transaction.query().lastError())));
}

// Prepares and runs one statement with its values bound in order. On failure the engine's message is in
// query.lastError(), whether preparing or running failed.
bool run(QSqlQuery& query, const QString& sql, const QVariantList& values = {})
{
    if (!query.prepare(sql))
        return false;
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

bool failed(const StoreStatus& status)
{
    return status.has_value();
}

template <typename T> bool failed(const StoreResult<T>& result)
{
    return !result.ok();
}

// Runs `work` on a connection of its own to the file; a file that cannot be opened is an Open error.
template <typename Work>
auto withConnection(const QString& path, Work work) -> decltype(work(std::declval<const QSqlDatabase&>()))
{
    Connection connection(path, Connection::Mode::Existing);
    if (!connection.isOpen())
        return engineError(StoreError::Kind::Open, path, connection.openError());
    return work(connection.database());
}

// Runs `work` in one write transaction, committed only when the work succeeded; nothing of a failed work, or
// of a failed commit, stays in the file.
template <typename Work>
auto inWriteTransaction(const QString& path, Work work) -> decltype(work(std::declval<const QSqlDatabase&>()))
{
    using Result = decltype(work(std::declval<const QSqlDatabase&>()));
    return withConnection(path, [&](const QSqlDatabase& db) -> Result {
        WriteTransaction transaction(db);
        if (!transaction.begun())
            return queryError(StoreError::Kind::Write, path, transaction.query());
        Result result = work(db);
        if (failed(result))
            return result;
        if (!transaction.commit())
            return queryError(StoreError::Kind::Write, path, transaction.query());
        return result;
    });
}

} // namespace

StoredRow::StoredRow(const QSqlQuery& query, std::span<const Field> fields, const QString& path)
    : m_query(query), m_fields(fields), m_path(path)
{}

StoreResult<QString> StoredRow::text(Field field) const
{
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i] != field)
            continue;
        const QVariant value = m_query.value(int(i));
        if (value.isNull())
            return makeError(StoreError::Kind::NoValue, m_path, QLatin1String(fieldName(field)));
        return value.toString();
    }
    Q_ASSERT_X(false, "StoredRow::text", "field not read by this scan");
    return makeError(StoreError::Kind::Read, m_path, QLatin1String(fieldName(field)));
}

MemberStore::MemberStore(QString path) : m_path(std::move(path)) {}

QString MemberStore::defaultPath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\MIS PROGRAMAS\\dorvel.mdb");
#else
    return QDir::homePath() + QStringLiteral("/MIS PROGRAMAS/dorvel.mdb");
#endif
}

StoreStatus MemberStore::openOrCreate() const
{
    const QFileInfo file(m_path);
    if (!file.exists() && !file.isSymLink()) {
        if (StoreStatus error = createDatabase(m_path))
            return error;
    }
    return withConnection(m_path, [&](const QSqlDatabase& db) -> StoreStatus {
        // Reading no row still makes the engine check the header, the table and every column, and writes nothing.
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT %1 FROM ficha LIMIT 0").arg(columnList(allFields()))))
            return queryError(StoreError::Kind::Open, m_path, query);
        query.finish();
        addMissingIndexes(db, m_path);
        return std::nullopt;
    });
}

StoreStatus MemberStore::scan(std::span<const Field> fields, const RowVisitor& visit) const
{
    return visitRows(QString(), {}, fields, visit);
}

StoreStatus MemberStore::scanBirthdays(std::span<const QString> monthDays, std::span<const Field> fields,
                                       const RowVisitor& visit) const
{
    QStringList placeholders;
    for (std::size_t i = 0; i < monthDays.size(); ++i)
        placeholders << QStringLiteral("?");
    const QString where = QStringLiteral("WHERE %1 IN (%2) OR %1 IS NULL").arg(kBirthdayKey, placeholders.join(','));
    return visitRows(where, monthDays, fields, visit);
}

StoreStatus MemberStore::visitRows(const QString& where, std::span<const QString> values, std::span<const Field> fields,
                                   const RowVisitor& visit) const
{
    return withConnection(m_path, [&](const QSqlDatabase& db) -> StoreStatus {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!run(query, QStringLiteral("SELECT %1 FROM ficha %2 ORDER BY rowid").arg(columnList(fields), where),
                 QVariantList(values.begin(), values.end())))
            return queryError(StoreError::Kind::Read, m_path, query);
        const StoredRow row(query, fields, m_path);
        while (query.next()) {
            if (StoreStatus stop = visit(row))
                return stop;
        }
        if (query.lastError().isValid())
            return queryError(StoreError::Kind::Read, m_path, query);
        return std::nullopt;
    });
}

StoreResult<std::vector<MemberRecord>> MemberStore::rowsWithCard(const QString& card) const
{
    using Result = StoreResult<std::vector<MemberRecord>>;
    return withConnection(m_path, [&](const QSqlDatabase& db) -> Result {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!run(query,
                 QStringLiteral("SELECT %1 FROM ficha WHERE ntarjeta = ? ORDER BY rowid").arg(columnList(allFields())),
                 {card}))
            return queryError(StoreError::Kind::Read, m_path, query);
        std::vector<MemberRecord> rows;
        while (query.next()) {
            MemberRecord record;
            for (std::size_t i = 0; i < kFieldCount; ++i) {
                const QVariant value = query.value(int(i));
                if (value.isNull())
                    return makeError(StoreError::Kind::NoValue, m_path, QLatin1String(fieldName(Field(i))));
                record[Field(i)] = value.toString();
            }
            rows.push_back(std::move(record));
        }
        if (query.lastError().isValid())
            return queryError(StoreError::Kind::Read, m_path, query);
        return rows;
    });
}

StoreResult<bool> MemberStore::holdsCard(const QString& card) const
{
    return withConnection(m_path, [&](const QSqlDatabase& db) -> StoreResult<bool> {
        QSqlQuery query(db);
        if (!run(query, QStringLiteral("SELECT 1 FROM ficha WHERE ntarjeta = ? LIMIT 1"), {card}))
            return queryError(StoreError::Kind::Read, m_path, query);
        const bool found = query.next();
        if (query.lastError().isValid())
            return queryError(StoreError::Kind::Read, m_path, query);
        return found;
    });
}

namespace {

bool insertRow(QSqlQuery& query, const MemberRecord& record)
{
    QVariantList values;
    for (Field f : allFields())
        values << record[f];
    return run(query,
               QStringLiteral("INSERT INTO ficha (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                   .arg(columnList(allFields())),
               values);
}

} // namespace

StoreStatus MemberStore::append(const MemberRecord& record) const
{
    return inWriteTransaction(m_path, [&](const QSqlDatabase& db) -> StoreStatus {
        QSqlQuery query(db);
        if (!insertRow(query, record))
            return queryError(StoreError::Kind::Write, m_path, query);
        return std::nullopt;
    });
}

StoreResult<bool> MemberStore::fillEmpty(std::span<const MemberRecord> records) const
{
    return inWriteTransaction(m_path, [&](const QSqlDatabase& db) -> StoreResult<bool> {
        QSqlQuery query(db);
        if (!run(query, QStringLiteral("SELECT 1 FROM ficha LIMIT 1")))
            return queryError(StoreError::Kind::Write, m_path, query);
        if (query.next())
            return false;
        query.finish();
        for (const MemberRecord& record : records)
            if (!insertRow(query, record))
                return queryError(StoreError::Kind::Write, m_path, query);
        return true;
    });
}

StoreResult<qint64> MemberStore::rowCount() const
{
    return withConnection(m_path, [&](const QSqlDatabase& db) -> StoreResult<qint64> {
        QSqlQuery query(db);
        if (!run(query, QStringLiteral("SELECT count(*) FROM ficha")) || !query.next())
            return queryError(StoreError::Kind::Read, m_path, query);
        return query.value(0).toLongLong();
    });
}

StoreResult<bool> MemberStore::appendNew(const MemberRecord& record) const
{
    return inWriteTransaction(m_path, [&](const QSqlDatabase& db) -> StoreResult<bool> {
        QSqlQuery query(db);
        if (!run(query, QStringLiteral("SELECT 1 FROM ficha WHERE ntarjeta = ? LIMIT 1"), {record.ntarjeta}))
            return queryError(StoreError::Kind::Write, m_path, query);
        if (query.next())
            return false;
        query.finish();
        if (!insertRow(query, record))
            return queryError(StoreError::Kind::Write, m_path, query);
        return true;
    });
}

StoreResult<bool> MemberStore::rewriteFirst(const QString& card, const MemberRecord& record) const
{
    return inWriteTransaction(m_path, [&](const QSqlDatabase& db) -> StoreResult<bool> {
        QStringList assignments;
        QVariantList values;
        for (Field f : allFields()) {
            assignments << QStringLiteral("%1 = ?").arg(QLatin1String(fieldName(f)));
            values << record[f];
        }
        values << card;
        QSqlQuery query(db);
        if (!run(query,
                 QStringLiteral("UPDATE ficha SET %1 WHERE rowid = "
                                "(SELECT rowid FROM ficha WHERE ntarjeta = ? ORDER BY rowid LIMIT 1)")
                     .arg(assignments.join(QLatin1String(", "))),
                 values))
            return queryError(StoreError::Kind::Write, m_path, query);
        return query.numRowsAffected() == 1;
    });
}

StoreResult<MemberStore::PointsChange> MemberStore::changePoints(const QString& card, const BalanceChange& change) const
{
    using Outcome = PointsChange::Outcome;
    return inWriteTransaction(m_path, [&](const QSqlDatabase& db) -> StoreResult<PointsChange> {
        QSqlQuery query(db);
        if (!run(query, QStringLiteral("SELECT rowid, puntos FROM ficha WHERE ntarjeta = ? ORDER BY rowid LIMIT 1"),
                 {card}))
            return queryError(StoreError::Kind::Write, m_path, query);
        if (!query.next())
            return PointsChange{Outcome::NoRow, {}};
        const qint64 rowid = query.value(0).toLongLong();
        const QVariant stored = query.value(1);
        query.finish();
        if (stored.isNull())
            return makeError(StoreError::Kind::NoValue, m_path, QLatin1String(fieldName(Field::puntos)));
        const std::optional<QString> balance = change(stored.toString());
        if (!balance)
            return PointsChange{Outcome::Declined, {}};

        if (!run(query, QStringLiteral("UPDATE ficha SET puntos = ? WHERE rowid = ?"), {*balance, rowid}))
            return queryError(StoreError::Kind::Write, m_path, query);
        // Read back what the file now holds: that is what the operator is shown.
        if (!run(query, QStringLiteral("SELECT puntos FROM ficha WHERE rowid = ?"), {rowid}) || !query.next())
            return queryError(StoreError::Kind::Write, m_path, query);
        const QString written = query.value(0).toString();
        query.finish();
        return PointsChange{Outcome::Written, written};
    });
}
