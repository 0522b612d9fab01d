#include "store/MemberStore.h"

#include "store/PendingFile.h"
#include "store/StoreEngine.h"
#include "store/postgres/PostgresEngine.h"
#include "store/sqlite/SqliteEngine.h"

#include "conversions/Conversions.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cmath>

namespace {

QString columnList(std::span<const Field> fields, const StoreEngine& engine)
{
    QStringList names;
    for (Field f : fields)
        names << engine.read(f);
    return names.join(QLatin1String(", "));
}

// The engine's placeholders for `count` values, separated by commas.
QString placeholders(const StoreEngine& engine, qsizetype count)
{
    QStringList list;
    for (int number = 1; number <= count; ++number)
        list << engine.placeholder(number);
    return list.join(QLatin1String(", "));
}

// A row of all thirteen fields, read from the statement's columns from `first` on.
StoreResult<MemberRecord> recordAt(const Statement& statement, int first, const StoreEngine& engine)
{
    MemberRecord record;
    for (Field f : allFields()) {
        const QVariant value = statement.value(first + int(f));
        if (value.isNull()) {
            const QVariant card = statement.value(first + int(Field::ntarjeta));
            return StoreError{StoreError::Kind::NoValue,
                              engine.path(),
                              QLatin1String(fieldName(f)),
                              StoreError::Cause::Other,
                              card.isNull() ? QString() : engine.text(card),
                              engine.storeKind()};
        }
        record[f] = engine.text(value);
    }
    return record;
}

// What a field of `record` stores: its text, never a missing value (NULL), which every reader of the row would
// refuse. A record holds text only, so a text that Qt calls null is the empty text.
QVariant storedText(const QString& text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

StoreResult<void> insertRow(StoreEngine& engine, const MemberRecord& record)
{
    QVariantList values;
    for (Field f : allFields())
        values << storedText(record[f]);
    Statement insert(engine, engine.sql("insert", [&] {
        QStringList names;
        for (Field f : allFields())
            names << QLatin1String(fieldName(f));
        return QStringLiteral("INSERT INTO ficha (%1) VALUES (%2)")
            .arg(names.join(QLatin1String(", ")), placeholders(engine, kFieldCount));
    }));
    if (!insert.run(values))
        return engine.error(StoreError::Kind::Write, insert.error());
    return {};
}

// Records a change of balance in the points history, inside the write transaction that makes it.
StoreResult<void> recordMovement(StoreEngine& engine, const QString& card, const QString& before, const QString& after,
                                 const QString& operation)
{
    if (StoreResult<void> done = engine.prepareHistory(); !done)
        return done;
    const double change = Val(after) - Val(before);
    Statement insert(engine, engine.sql("record", [&] {
        return QStringLiteral("INSERT INTO movimientos (%1) VALUES (%2)")
            .arg(kHistoryColumns.join(QLatin1String(", ")), placeholders(engine, kHistoryColumns.size()));
    }));
    if (!insert.run({QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), card, before,
                     std::isfinite(change) ? Str(change) : QString(), after, operation, QSysInfo::machineHostName()}))
        return engine.error(StoreError::Kind::Write, insert.error());
    return {};
}

// Visits the records of the points history in table order: all of them, or those of `card`; none when the store
// has no history yet. The visitor stops the visit by returning an error, which is then returned.
StoreResult<void> visitMovements(StoreEngine& engine, const std::optional<QString>& card,
                                 const MemberStore::MovementVisitor& visit)
{
    const StoreResult<bool> present = engine.hasHistory();
    if (!present)
        return present.error();
    if (!*present)
        return {};
    Statement select(engine, QStringLiteral("SELECT %1 FROM movimientos%2 ORDER BY %3")
                                 .arg(kHistoryColumns.join(QLatin1String(", ")),
                                      card ? QStringLiteral(" WHERE ntarjeta = ") + engine.placeholder(1) : QString(),
                                      engine.rowId()));
    if (!select.run(card ? QVariantList{*card} : QVariantList{}))
        return engine.error(StoreError::Kind::Read, select.error());
    while (select.next()) {
        auto text = [&](int i) { return select.value(i).toString(); };
        if (StoreResult<void> stop = visit({text(0), text(1), text(2), text(3), text(4), text(5), text(6)}); !stop)
            return stop;
    }
    if (select.error().isValid())
        return engine.error(StoreError::Kind::Read, select.error());
    return {};
}

StoreResult<std::vector<Movement>> movementsOf(StoreEngine& engine, const std::optional<QString>& card = {})
{
    std::vector<Movement> movements;
    const StoreResult<void> visited = visitMovements(engine, card, [&](const Movement& m) -> StoreResult<void> {
        movements.push_back(m);
        return {};
    });
    if (!visited)
        return visited.error();
    return movements;
}

// Adds a record of another store's points history as it is.
StoreResult<void> recordAsIs(StoreEngine& engine, const Movement& m)
{
    if (StoreResult<void> done = engine.prepareHistory(); !done)
        return done;
    Statement insert(engine, engine.sql("record", [&] {
        return QStringLiteral("INSERT INTO movimientos (%1) VALUES (%2)")
            .arg(kHistoryColumns.join(QLatin1String(", ")), placeholders(engine, kHistoryColumns.size()));
    }));
    if (!insert.run({m.fecha, m.ntarjeta, m.antes, m.cantidad, m.despues, m.operacion, m.equipo}))
        return engine.error(StoreError::Kind::Write, insert.error());
    return {};
}

// The register of erasures, oldest first: all of it, or the rows of `card`; none when the store has none yet.
StoreResult<std::vector<ErasedCard>> erasuresIn(StoreEngine& engine, const std::optional<QString>& card = {})
{
    const StoreResult<bool> present = engine.hasErasures();
    if (!present)
        return present.error();
    std::vector<ErasedCard> erased;
    if (!*present)
        return erased;
    Statement select(engine, QStringLiteral("SELECT %1 FROM %2%3 ORDER BY fecha, ntarjeta")
                                 .arg(kErasureColumns.join(QLatin1String(", ")), kErasureTable,
                                      card ? QStringLiteral(" WHERE ntarjeta = ") + engine.placeholder(1) : QString()));
    if (!select.run(card ? QVariantList{*card} : QVariantList{}))
        return engine.error(StoreError::Kind::Read, select.error());
    while (select.next())
        erased.push_back({select.value(0).toString(), select.value(1).toString()});
    if (select.error().isValid())
        return engine.error(StoreError::Kind::Read, select.error());
    return erased;
}

// Every row of "ficha" on `card`, in table order, each field as stored (no value: none).
StoreResult<std::vector<StoredFields>> rowsOn(StoreEngine& engine, const QString& card, StoreError::Kind kind)
{
    Statement select(engine, engine.sql("rows on a card", [&] {
        return QStringLiteral("SELECT %1 FROM ficha WHERE ntarjeta = %2 ORDER BY %3")
            .arg(columnList(allFields(), engine), engine.placeholder(1), engine.rowId());
    }));
    if (!select.run({card}))
        return engine.error(kind, select.error());
    std::vector<StoredFields> rows;
    while (select.next()) {
        StoredFields& row = rows.emplace_back();
        for (Field f : allFields()) {
            const QVariant value = select.value(int(f));
            if (!value.isNull())
                row[std::size_t(f)] = engine.text(value);
        }
    }
    if (select.error().isValid())
        return engine.error(kind, select.error());
    return rows;
}

// What an erasure found of a card number, and removed.
struct Removed
{
    std::vector<MemberRecord> rows;
    qint64 movements = 0;
    bool registered = false; // the register named the number before
};

// Inside a write transaction that overwrites what it deletes: every row of "ficha" on `card` and every record of
// its points history go, and the register gains the number with `day` unless it names it already. A number that
// the store does not hold at all is registered only when `registerAbsent` says so.
enum class RegisterAbsent { No, Yes };
StoreResult<Removed> eraseCard(StoreEngine& engine, const QString& card, const QString& day,
                               RegisterAbsent registerAbsent)
{
    Removed removed;
    {
        const StoreResult<std::vector<StoredFields>> rows = rowsOn(engine, card, StoreError::Kind::Write);
        if (!rows)
            return rows.error();
        for (const StoredFields& stored : *rows) {
            MemberRecord& record = removed.rows.emplace_back();
            for (Field f : allFields())
                record[f] = stored[std::size_t(f)].value_or(QString());
        }
    }
    const StoreResult<bool> history = engine.hasHistory();
    if (!history)
        return history.error();
    if (*history) {
        Statement count(engine,
                        QStringLiteral("SELECT count(*) FROM movimientos WHERE ntarjeta = ") + engine.placeholder(1));
        if (!count.run({card}) || !count.next())
            return engine.error(StoreError::Kind::Write, count.error());
        removed.movements = count.value(0).toLongLong();
    }
    const StoreResult<std::vector<ErasedCard>> named = erasuresIn(engine, card);
    if (!named)
        return named.error();
    removed.registered = !named->empty();
    if (removed.rows.empty() && removed.movements == 0 && registerAbsent == RegisterAbsent::No)
        return removed;
    QStringList statements;
    if (!removed.rows.empty())
        statements << QStringLiteral("DELETE FROM ficha WHERE ntarjeta = ") + engine.placeholder(1);
    if (removed.movements > 0)
        statements << QStringLiteral("DELETE FROM movimientos WHERE ntarjeta = ") + engine.placeholder(1);
    for (const QString& sql : statements) {
        Statement remove(engine, sql);
        if (!remove.run({card}))
            return engine.error(StoreError::Kind::Write, remove.error());
    }
    if (!removed.registered) {
        if (const std::optional<QSqlError> refused = engine.run(kCreateErasures))
            return engine.error(StoreError::Kind::Write, *refused);
        Statement insert(engine, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                     .arg(kErasureTable, kErasureColumns.join(QLatin1String(", ")),
                                          placeholders(engine, kErasureColumns.size())));
        if (!insert.run({card, day}))
            return engine.error(StoreError::Kind::Write, insert.error());
    }
    return removed;
}

} // namespace

StoredRow::StoredRow(const Statement& statement, std::span<const Field> fields, const StoreEngine& engine)
    : m_statement(statement), m_fields(fields), m_engine(engine)
{}

StoreResult<QString> StoredRow::text(Field field) const
{
    const auto at = std::find(m_fields.begin(), m_fields.end(), field);
    Q_ASSERT_X(at != m_fields.end(), "StoredRow::text", "field not read by this scan");
    const QVariant value = m_statement.value(int(at - m_fields.begin()));
    if (!value.isNull())
        return m_engine.text(value);
    QString card;
    if (const auto cardAt = std::find(m_fields.begin(), m_fields.end(), Field::ntarjeta); cardAt != m_fields.end()) {
        const QVariant stored = m_statement.value(int(cardAt - m_fields.begin()));
        if (!stored.isNull())
            card = m_engine.text(stored);
    }
    return StoreError{
        StoreError::Kind::NoValue, m_engine.path(), QLatin1String(fieldName(field)), StoreError::Cause::Other, card,
        m_engine.storeKind()};
}

MemberStore::MemberStore(QString path) : MemberStore(StoreAddress::file(path)) {}

void MemberStore::setWaiting(std::function<void()> waiting)
{
    m_engine->setWaiting(std::move(waiting));
}

MemberStore::MemberStore(const StoreAddress& address)
    : m_address(address), m_path(address.displayName()),
      m_engine(address.isServer() ? std::unique_ptr<StoreEngine>(std::make_unique<PostgresEngine>(address))
                                  : std::make_unique<SqliteEngine>(m_path))
{}

MemberStore::~MemberStore() = default;

Result<QString, MemberStore::NoPlace> MemberStore::defaultPath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\MIS PROGRAMAS\\dorvel.mdb");
#else
    // QDir::homePath() would give the root for a missing HOME, and another folder for a name that is not UTF-8.
    const QByteArray home = qgetenv("HOME");
    const QString name = QFile::decodeName(home);
    const auto noPlace = [](const QString& why) {
        return NoPlace{why + QStringLiteral(", so the member file (MIS PROGRAMAS/dorvel.mdb in the home folder) has no "
                                            "place; none is made elsewhere")};
    };
    if (home.isEmpty())
        return noPlace(QStringLiteral("HOME is not set"));
    if (QFile::encodeName(name) != home)
        return noPlace(QStringLiteral("the name of the home folder in HOME is not valid UTF-8 (%1)").arg(name));
    if (!QDir::isAbsolutePath(name))
        return noPlace(QStringLiteral("the home folder in HOME is not an absolute path (%1)").arg(name));
    if (!QFileInfo(name).isDir())
        return noPlace(QStringLiteral("the home folder %1 (HOME) does not exist").arg(name));
    return QDir::cleanPath(name) + QStringLiteral("/MIS PROGRAMAS/dorvel.mdb");
#endif
}

StoreResult<void> MemberStore::openOrCreate(Indexes indexes, Shape shape) const
{
    return m_engine->openOrCreate(m_startup, indexes, shape);
}

StoreResult<void> MemberStore::buildMissingIndexes() const
{
    if (m_refusedWrites)
        return StoreError{StoreError::Kind::Write, m_path, QStringLiteral("writes are refused"),
                          *m_refusedWrites,        {},     m_engine->storeKind()};
    return m_engine->buildMissingIndexes();
}

StoreResult<void> MemberStore::backupTo(const QString& file) const
{
    const auto failure = [&](const QString& detail) {
        return StoreError{StoreError::Kind::Write, file, detail, StoreError::Cause::Other, {}};
    };
    if (QFileInfo::exists(file))
        return failure(QStringLiteral("the copy exists already"));
    // Made under a temporary name, which the copy takes only once it is complete and checked.
    Result<PendingFile, StoreError> made = PendingFile::create(file);
    if (!made)
        return made.error();
    PendingFile& pending = made.value();
    if (!m_address.isServer()) {
        if (StoreResult<void> done = m_engine->backupTo(pending.path()); !done)
            return done;
    } else if (StoreResult<void> done = copyServerInto(pending.path()); !done) {
        return done;
    }
    const StoreResult<bool> placed = pending.putInPlace();
    if (!placed)
        return placed.error();
    if (!*placed)
        return failure(QStringLiteral("the copy exists already"));
    return {};
}

// A server's members and points history, read in table order into the new member file `file`, and checked.
StoreResult<void> MemberStore::copyServerInto(const QString& file) const
{
    const MemberStore copy(file);
    if (StoreResult<void> done = copy.openOrCreate(); !done)
        return done;
    const StoreResult<bool> filled = copy.fillEmpty([&](const AddRecord& add) {
        return scan(allFields(), [&](const StoredRow& row) -> StoreResult<void> {
            MemberRecord record;
            for (Field f : allFields()) {
                StoreResult<QString> text = row.text(f);
                if (!text)
                    return text.error();
                record[f] = std::move(text).value();
            }
            return add(record);
        });
    });
    if (!filled)
        return filled.error();
    const StoreResult<std::vector<Movement>> movements =
        withEngine([&](StoreEngine& engine) { return movementsOf(engine); }, kWholeFileLimit);
    if (!movements)
        return movements.error();
    if (!movements->empty())
        if (StoreResult<void> copied = copy.inWriteTransaction(
                [&](StoreEngine& engine) -> StoreResult<void> {
                    for (const Movement& m : *movements)
                        if (StoreResult<void> stored = recordAsIs(engine, m); !stored)
                            return stored;
                    return {};
                },
                kWholeFileLimit);
            !copied)
            return copied;
    // The register of erasures travels with the copy, so that a restore of it erases those members again.
    const StoreResult<std::vector<ErasedCard>> erased = erasures();
    if (!erased)
        return erased.error();
    if (!erased->empty())
        if (const StoreResult<qint64> registered = copy.applyErasures(*erased); !registered)
            return registered.error();
    const StoreResult<bool> intact = copy.quickCheck();
    if (!intact)
        return intact.error();
    if (!*intact)
        return StoreError{
            StoreError::Kind::Write, file, QStringLiteral("the copy is damaged"), StoreError::Cause::Damaged, {}};
    return {};
}

StoreResult<bool> MemberStore::quickCheck() const
{
    return m_engine->quickCheck();
}

void MemberStore::refuseWrites(StoreError::Cause cause) const
{
    m_refusedWrites = cause;
}

template <typename Work>
auto MemberStore::withEngine(Work work, std::optional<std::chrono::milliseconds> limit) const
    -> decltype(work(std::declval<StoreEngine&>()))
{
    // Every statement is stopped after the time limit: nothing that a file holds can freeze a till. The wait for
    // another till's lock comes on top.
    if (StoreResult<void> done = m_engine->prepareOperation(limit.value_or(m_timeLimit)); !done)
        return done.error();
    return work(*m_engine);
}

// Runs `work` in one write transaction, committed only when the work succeeded; nothing of a failed work, or of a
// failed commit, stays in the store. A transaction that the engine undid for a conflict with other tills'
// transactions is tried again whole, a few times: `work` must do nothing outside the store.
template <typename Work>
auto MemberStore::inWriteTransaction(Work work, std::optional<std::chrono::milliseconds> limit) const
    -> decltype(work(std::declval<StoreEngine&>()))
{
    using Result = decltype(work(std::declval<StoreEngine&>()));
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        Result result = withEngine(
            [&](StoreEngine& engine) -> Result {
                if (m_refusedWrites)
                    return StoreError{StoreError::Kind::Write, m_path, QStringLiteral("writes are refused"),
                                      *m_refusedWrites,        {},     engine.storeKind()};
                if (const std::optional<QSqlError> refused = engine.run(engine.beginWrite()))
                    return engine.error(StoreError::Kind::Write, *refused);
                Result done = work(engine);
                if (done) {
                    const std::optional<QSqlError> notCommitted = engine.run(QStringLiteral("COMMIT"));
                    if (!notCommitted)
                        return done;
                    StoreError error = engine.error(StoreError::Kind::Write, *notCommitted);
                    // A server may have committed before the connection broke: whether the change is stored, nobody
                    // can tell from here.
                    if (error.cause == StoreError::Cause::ServerUnreachable)
                        error.cause = StoreError::Cause::CommitUnknown;
                    done = error;
                }
                engine.run(QStringLiteral("ROLLBACK"));
                return done;
            },
            limit);
        if (result || result.error().cause != StoreError::Cause::Conflict || attempt == kAttempts)
            return result;
    }
}

StoreResult<void> MemberStore::scan(std::span<const Field> fields, const RowVisitor& visit) const
{
    return visitRows(QString(), {}, fields, visit, kWholeFileLimit);
}

StoreResult<void> MemberStore::scanBirthdays(std::span<const QString> monthDays, std::span<const Field> fields,
                                             const RowVisitor& visit) const
{
    // "IN ()" is SQLite's alone: no day to look for (the last day of the year) asks for the rows without a birth
    // date only.
    const QString where = monthDays.empty()
                              ? QStringLiteral("WHERE %1 IS NULL").arg(kBirthdayKey)
                              : QStringLiteral("WHERE %1 IN (%2) OR %1 IS NULL")
                                    .arg(kBirthdayKey, placeholders(*m_engine, qsizetype(monthDays.size())));
    return visitRows(where, monthDays, fields, visit);
}

StoreResult<void> MemberStore::visitRows(const QString& where, std::span<const QString> values,
                                         std::span<const Field> fields, const RowVisitor& visit,
                                         std::optional<std::chrono::milliseconds> limit) const
{
    return withEngine(
        [&](StoreEngine& engine) -> StoreResult<void> {
            Statement select(engine, QStringLiteral("SELECT %1 FROM ficha %2 ORDER BY %3")
                                         .arg(columnList(fields, engine), where, engine.rowId()));
            if (!select.run(QVariantList(values.begin(), values.end())))
                return engine.error(StoreError::Kind::Read, select.error());
            const StoredRow row(select, fields, engine);
            while (select.next()) {
                if (StoreResult<void> stop = visit(row); !stop)
                    return stop;
            }
            if (select.error().isValid())
                return engine.error(StoreError::Kind::Read, select.error());
            return {};
        },
        limit);
}

StoreResult<std::vector<FoundRow>> MemberStore::rowsWithCard(const QString& card) const
{
    return withEngine([&](StoreEngine& engine) { return engine.rowsWithCard(card); });
}

StoreResult<std::vector<FoundRow>> rowsWithCardByStatement(StoreEngine& engine, const QString& card)
{
    Statement select(engine, engine.sql("rowsWithCard", [&] {
        return QStringLiteral("SELECT %1, %2 FROM ficha WHERE ntarjeta = %3 ORDER BY %1")
            .arg(engine.rowId(), columnList(allFields(), engine), engine.placeholder(1));
    }));
    if (!select.run({card}))
        return engine.error(StoreError::Kind::Read, select.error());
    std::vector<FoundRow> rows;
    while (select.next()) {
        StoreResult<MemberRecord> row = recordAt(select, 1, engine);
        if (!row)
            return row.error();
        rows.push_back({select.value(0).toLongLong(), std::move(row).value()});
    }
    if (select.error().isValid())
        return engine.error(StoreError::Kind::Read, select.error());
    return rows;
}

StoreResult<bool> MemberStore::holdsCard(const QString& card) const
{
    return withEngine([&](StoreEngine& engine) -> StoreResult<bool> {
        Statement select(engine,
                         QStringLiteral("SELECT 1 FROM ficha WHERE ntarjeta = %1 LIMIT 1").arg(engine.placeholder(1)));
        if (!select.run({card}))
            return engine.error(StoreError::Kind::Read, select.error());
        const bool found = select.next();
        if (select.error().isValid())
            return engine.error(StoreError::Kind::Read, select.error());
        return found;
    });
}

StoreResult<void> MemberStore::append(const MemberRecord& record) const
{
    return inWriteTransaction([&](StoreEngine& engine) -> StoreResult<void> { return insertRow(engine, record); });
}

StoreResult<bool> MemberStore::fillEmpty(const RecordProducer& produce) const
{
    return inWriteTransaction(
        [&](StoreEngine& engine) -> StoreResult<bool> {
            if (StoreResult<void> locked = engine.lockTable(); !locked)
                return locked.error();
            {
                Statement any(engine, QStringLiteral("SELECT 1 FROM ficha LIMIT 1"));
                if (!any.run())
                    return engine.error(StoreError::Kind::Write, any.error());
                if (any.next())
                    return false;
            }
            if (StoreResult<void> produced =
                    produce([&](const MemberRecord& record) { return insertRow(engine, record); });
                !produced)
                return produced.error();
            return true;
        },
        kWholeFileLimit);
}

StoreResult<qint64> MemberStore::rowCount() const
{
    return withEngine(
        [&](StoreEngine& engine) -> StoreResult<qint64> {
            Statement count(engine, QStringLiteral("SELECT count(*) FROM ficha"));
            if (!count.run() || !count.next())
                return engine.error(StoreError::Kind::Read, count.error());
            return count.value(0).toLongLong();
        },
        kWholeFileLimit);
}

StoreResult<bool> MemberStore::appendNew(const MemberRecord& record) const
{
    return inWriteTransaction([&](StoreEngine& engine) -> StoreResult<bool> {
        if (StoreResult<void> locked = engine.lockCard(record.ntarjeta); !locked)
            return locked.error();
        {
            Statement taken(
                engine, QStringLiteral("SELECT 1 FROM ficha WHERE ntarjeta = %1 LIMIT 1").arg(engine.placeholder(1)));
            if (!taken.run({record.ntarjeta}))
                return engine.error(StoreError::Kind::Write, taken.error());
            if (taken.next())
                return false;
        }
        if (StoreResult<void> done = insertRow(engine, record); !done)
            return done.error();
        return true;
    });
}

StoreResult<MemberStore::Rewrite> MemberStore::rewrite(const FoundRow& shown, const MemberRecord& record) const
{
    using Outcome = Rewrite::Outcome;
    const QString& card = shown.record.ntarjeta;
    return inWriteTransaction([&](StoreEngine& engine) -> StoreResult<Rewrite> {
        if (StoreResult<void> locked = engine.lockCard(card); !locked)
            return locked.error();
        {
            // The row by its identity, never the first row with its card number: another row may hold that number.
            Statement select(engine, engine.sql("rewrite/select", [&] {
                return QStringLiteral("SELECT %1 FROM ficha WHERE %2 = %3 AND ntarjeta = %4%5")
                    .arg(columnList(allFields(), engine), engine.rowId(), engine.placeholder(1), engine.placeholder(2),
                         engine.lockRow());
            }));
            if (!select.run({shown.key, card}))
                return engine.error(StoreError::Kind::Write, select.error());
            if (!select.next()) {
                if (select.error().isValid())
                    return engine.error(StoreError::Kind::Write, select.error());
                return Rewrite{Outcome::NoRow, {}};
            }
            StoreResult<MemberRecord> stored = recordAt(select, 0, engine);
            if (!stored)
                return stored.error();
            if (!(*stored == shown.record))
                return Rewrite{Outcome::Changed, {shown.key, std::move(stored).value()}};
        }
        QVariantList values;
        for (Field f : allFields())
            values << storedText(record[f]);
        values << shown.key;
        Statement update(engine, engine.sql("rewrite/update", [&] {
            QStringList assignments;
            int number = 0;
            for (Field f : allFields())
                assignments << QStringLiteral("%1 = %2").arg(QLatin1String(fieldName(f)), engine.placeholder(++number));
            return QStringLiteral("UPDATE ficha SET %1 WHERE %2 = %3")
                .arg(assignments.join(QLatin1String(", ")), engine.rowId(), engine.placeholder(++number));
        }));
        if (!update.run(values))
            return engine.error(StoreError::Kind::Write, update.error());
        if (record.puntos != shown.record.puntos)
            if (StoreResult<void> done =
                    recordMovement(engine, card, shown.record.puntos, record.puntos, QStringLiteral("Modificar"));
                !done)
                return done.error();
        return Rewrite{Outcome::Written, {}};
    });
}

StoreResult<MemberStore::PointsChange> MemberStore::changePoints(const QString& card, const BalanceChange& change,
                                                                 const QString& operation) const
{
    using Outcome = PointsChange::Outcome;
    return inWriteTransaction([&](StoreEngine& engine) -> StoreResult<PointsChange> {
        if (StoreResult<void> locked = engine.lockCard(card); !locked)
            return locked.error();
        QVariant rowId;
        QString balance;
        {
            Statement select(engine, engine.sql("points/select", [&] {
                return QStringLiteral("SELECT %1, %2 FROM ficha WHERE ntarjeta = %3 ORDER BY %1 LIMIT 1%4")
                    .arg(engine.rowId(), engine.read(Field::puntos), engine.placeholder(1), engine.lockRow());
            }));
            if (!select.run({card}))
                return engine.error(StoreError::Kind::Write, select.error());
            if (!select.next()) {
                if (select.error().isValid())
                    return engine.error(StoreError::Kind::Write, select.error());
                return PointsChange{Outcome::NoRow, {}};
            }
            rowId = select.value(0);
            const QVariant stored = select.value(1);
            if (stored.isNull())
                return StoreError{StoreError::Kind::NoValue, m_path, QLatin1String(fieldName(Field::puntos)),
                                  StoreError::Cause::Other,  card,   engine.storeKind()};
            balance = engine.text(stored);
        }
        const std::optional<QString> changed = change(balance);
        if (!changed)
            return PointsChange{Outcome::Declined, {}};
        {
            Statement update(engine, engine.sql("points/update", [&] {
                return QStringLiteral("UPDATE ficha SET puntos = %1 WHERE %2 = %3")
                    .arg(engine.placeholder(1), engine.rowId(), engine.placeholder(2));
            }));
            if (!update.run({*changed, rowId}))
                return engine.error(StoreError::Kind::Write, update.error());
        }
        // Read back what the file now holds: that is what the operator is shown, and what the history records.
        QString written;
        {
            Statement readBack(engine, QStringLiteral("SELECT %1 FROM ficha WHERE %2 = %3")
                                           .arg(engine.read(Field::puntos), engine.rowId(), engine.placeholder(1)));
            if (!readBack.run({rowId}) || !readBack.next())
                return engine.error(StoreError::Kind::Write, readBack.error());
            written = engine.text(readBack.value(0));
        }
        if (StoreResult<void> done = recordMovement(engine, card, balance, written, operation); !done)
            return done.error();
        return PointsChange{Outcome::Written, written};
    });
}

StoreResult<std::vector<Movement>> MemberStore::history(const QString& card) const
{
    return withEngine([&](StoreEngine& engine) { return movementsOf(engine, card); });
}

StoreResult<void> MemberStore::scanHistory(const MovementVisitor& visit) const
{
    return withEngine([&](StoreEngine& engine) { return visitMovements(engine, std::nullopt, visit); },
                      kWholeFileLimit);
}

StoreResult<MemberStore::MemberData> MemberStore::memberData(const QString& card) const
{
    return withEngine([&](StoreEngine& engine) -> StoreResult<MemberData> {
        MemberData data;
        StoreResult<std::vector<StoredFields>> rows = rowsOn(engine, card, StoreError::Kind::Read);
        if (!rows)
            return rows.error();
        data.rows = std::move(rows).value();
        StoreResult<std::vector<Movement>> movements = movementsOf(engine, card);
        if (!movements)
            return movements.error();
        data.movements = std::move(movements).value();
        StoreResult<std::vector<ErasedCard>> erased = erasuresIn(engine, card);
        if (!erased)
            return erased.error();
        data.erasures = std::move(erased).value();
        return data;
    });
}

StoreResult<MemberStore::Erasure> MemberStore::erase(const QString& card, const QDate& day) const
{
    using Outcome = Erasure::Outcome;
    StoreResult<Erasure> erased = inWriteTransaction([&](StoreEngine& engine) -> StoreResult<Erasure> {
        // The whole table, as an import locks it: no till saves a row of the number meanwhile.
        if (StoreResult<void> locked = engine.lockTable(); !locked)
            return locked.error();
        if (StoreResult<void> done = engine.overwriteDeleted(); !done)
            return done.error();
        StoreResult<Removed> removed = eraseCard(engine, card, day.toString(Qt::ISODate), RegisterAbsent::No);
        if (!removed)
            return removed.error();
        if (removed->rows.empty() && removed->movements == 0 && !removed->registered)
            return Erasure{}; // nothing written
        return Erasure{Outcome::Erased, std::move(removed->rows), removed->movements, true};
    });
    if (!erased || erased->outcome == Outcome::NoCard)
        return erased;
    const StoreResult<bool> emptied =
        withEngine([](StoreEngine& engine) { return engine.emptyLog(); }, kWholeFileLimit);
    // The erasure is stored: a failure from here on is told with it, not instead of it.
    erased.value().logEmptied = emptied && *emptied;
    if (!emptied)
        erased.value().logFailure = emptied.error();
    return erased;
}

StoreResult<std::vector<ErasedCard>> MemberStore::erasures() const
{
    return withEngine([&](StoreEngine& engine) { return erasuresIn(engine); }, kWholeFileLimit);
}

StoreResult<qint64> MemberStore::applyErasures(std::span<const ErasedCard> erased) const
{
    const StoreResult<qint64> removed = inWriteTransaction(
        [&](StoreEngine& engine) -> StoreResult<qint64> {
            if (StoreResult<void> locked = engine.lockTable(); !locked)
                return locked.error();
            if (StoreResult<void> done = engine.overwriteDeleted(); !done)
                return done.error();
            qint64 rows = 0;
            for (const ErasedCard& entry : erased) {
                const StoreResult<Removed> done = eraseCard(engine, entry.ntarjeta, entry.fecha, RegisterAbsent::Yes);
                if (!done)
                    return done.error();
                rows += qint64(done->rows.size());
            }
            return rows;
        },
        kWholeFileLimit);
    if (!removed)
        return removed;
    const StoreResult<bool> emptied =
        withEngine([](StoreEngine& engine) { return engine.emptyLog(); }, kWholeFileLimit);
    if (!emptied)
        return emptied.error();
    if (!*emptied)
        return StoreError{StoreError::Kind::Write,
                          m_path,
                          QStringLiteral("the log could not be emptied of the erased members: another program reads "
                                         "the file"),
                          StoreError::Cause::Locked,
                          {}};
    return removed;
}
