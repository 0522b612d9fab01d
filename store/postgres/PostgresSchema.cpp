#include "store/postgres/PostgresEngine.h"

#include "store/MemberStore.h"
#include "store/postgres/PostgresConnection.h"

#include <QScopeGuard>

// The examination of the server's member schema, and the making of a new one.

using namespace postgres;

StoreResult<PostgresEngine::Schema> PostgresEngine::examine()
{
    // One round trip. Each column of ficha as name, type, filled in by the server, generated, compared byte for
    // byte (its collation is deterministic), separated by unit separators; columns by record separators.
    const std::optional<QList<QVariantList>> found = m_connection->rows(
        QStringLiteral(
            "SELECT f.relkind::text, "
            "(SELECT string_agg(attname || chr(31) || format_type(atttypid, atttypmod) || chr(31) || "
            "(attidentity <> '' OR (atthasdef AND attgenerated = ''))::text || chr(31) || (attgenerated <> '')::text "
            "|| "
            "chr(31) || coalesce((SELECT collisdeterministic FROM pg_collation WHERE oid = attcollation), true)::text, "
            "chr(30)) FROM pg_attribute WHERE attrelid = f.oid AND attnum > 0 AND NOT attisdropped), "
            "(SELECT string_agg(c.relname || ' ' || t.tgname, ', ') FROM pg_trigger t JOIN pg_class c ON c.oid = "
            "t.tgrelid "
            "WHERE t.tgrelid IN (f.oid, to_regclass('movimientos'), to_regclass('supresiones')) AND NOT "
            "t.tgisinternal), "
            "(SELECT string_agg(c.relname || ' ' || r.rulename, ', ') FROM pg_rewrite r JOIN pg_class c ON c.oid = "
            "r.ev_class WHERE r.ev_class IN (f.oid, to_regclass('movimientos'), to_regclass('supresiones')) AND "
            "r.rulename <> '_RETURN'), "
            "f.relrowsecurity, "
            "EXISTS (SELECT 1 FROM pg_index i JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = "
            "i.indkey[0] "
            "WHERE i.indrelid = f.oid AND i.indisunique AND i.indnatts = 1 AND i.indpred IS NULL AND a.attname = "
            "'id'), "
            "(SELECT count(*) FROM pg_class WHERE relkind IN ('r', 'v', 'm', 'f', 'p') AND relnamespace = "
            "(SELECT oid FROM pg_namespace WHERE nspname = current_schema())), "
            "current_schema(), "
            "pg_is_in_recovery() OR current_setting('transaction_read_only') = 'on' OR NOT "
            "coalesce(has_table_privilege(f.oid, 'INSERT') AND has_table_privilege(f.oid, 'UPDATE'), true), "
            "to_regclass('movimientos') IS NOT NULL, "
            "(SELECT count(*) FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid WHERE i.indrelid = f.oid AND "
            "i.indisvalid AND c.relname IN (%1)) "
            "FROM (SELECT to_regclass('ficha') AS oid) AS found LEFT JOIN pg_class f ON f.oid = found.oid")
            .arg(QStringLiteral("'%1'").arg(kIndexNames.join(QLatin1String("', '")))));
    if (!found || found->size() != 1)
        return error(StoreError::Kind::Open, m_connection->lastError());
    enum Column {
        Kind,
        Columns,
        Triggers,
        Rules,
        RowSecurity,
        UniqueId,
        Relations,
        SchemaName,
        ReadOnly,
        History,
        Indexes
    };
    const QVariantList& row = found->front();
    const auto refused = [&](StoreError::Cause cause, const QString& detail) {
        return failure(StoreError::Kind::Open, cause, detail);
    };

    Schema schema;
    m_schemaHash = hash32(row[SchemaName].toString());
    schema.readOnly = row[ReadOnly].toBool();
    schema.history = row[History].toBool();
    if (row[Kind].isNull()) {
        if (row[SchemaName].isNull())
            return refused(StoreError::Cause::CannotOpen,
                           QStringLiteral("no schema of the search_path exists to hold table ficha"));
        schema.empty = row[Relations].toLongLong() == 0;
        return schema;
    }
    schema.ficha = true;
    if (row[Kind].toString() != QLatin1String("r"))
        return refused(StoreError::Cause::UnsafeSchema,
                       QStringLiteral("ficha is not a plain table (pg_class.relkind %1)").arg(row[Kind].toString()));
    enum Part { Type, FilledIn, Generated, Deterministic };
    QMap<QString, QStringList> columns;
    for (const QString& column : row[Columns].toString().split(QChar(30), Qt::SkipEmptyParts)) {
        const QStringList parts = column.split(QChar(31));
        columns.insert(parts.first(), parts.mid(1));
    }
    const QLatin1String yes("true");
    for (Field field : allFields()) {
        const QString name = QLatin1String(fieldName(field));
        if (!columns.contains(name))
            return refused(StoreError::Cause::NotMemberFile, QStringLiteral("table ficha has no column %1").arg(name));
        const QStringList& column = columns[name];
        if (column.value(Type) != QLatin1String("text"))
            return refused(StoreError::Cause::UnsafeSchema,
                           QStringLiteral("column %1 of ficha is %2, not text").arg(name, column.value(Type)));
        if (column.value(Generated) == yes)
            return refused(StoreError::Cause::UnsafeSchema,
                           QStringLiteral("column %1 of ficha is generated").arg(name));
        if (column.value(Deterministic) != yes)
            return refused(StoreError::Cause::UnsafeSchema,
                           QStringLiteral("column %1 of ficha compares texts that differ as equal").arg(name));
    }
    const QStringList id = columns.value(QStringLiteral("id"));
    if (id.isEmpty())
        return refused(StoreError::Cause::NotMemberFile, QStringLiteral("table ficha has no column id"));
    if ((id.value(Type) != QLatin1String("bigint") && id.value(Type) != QLatin1String("integer")) ||
        id.value(FilledIn) != yes)
        return refused(StoreError::Cause::UnsafeSchema,
                       QStringLiteral("column id of ficha is not a number that the server fills in"));
    if (!row[UniqueId].toBool())
        return refused(StoreError::Cause::UnsafeSchema, QStringLiteral("column id of ficha is not unique"));
    if (!row[Triggers].isNull())
        return refused(StoreError::Cause::UnsafeSchema,
                       QStringLiteral("triggers act on the tables of socios: %1").arg(row[Triggers].toString()));
    if (!row[Rules].isNull())
        return refused(StoreError::Cause::UnsafeSchema,
                       QStringLiteral("rules act on the tables of socios: %1").arg(row[Rules].toString()));
    if (row[RowSecurity].toBool())
        return refused(StoreError::Cause::UnsafeSchema,
                       QStringLiteral("row security hides rows of ficha from some users"));
    schema.indexesMissing = row[Indexes].toLongLong() < kIndexNames.size();
    return schema;
}

StoreResult<bool> PostgresEngine::createSchema()
{
    QStringList statements = {
        QStringLiteral("CREATE TABLE %1 (%2, id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY)")
            .arg(kMemberTable, columnDefinitions(memberColumns(), QStringLiteral("text"))),
    };
    statements << kIndexes;
    statements << historyDefinition();

    const auto failed = [&](const QSqlError& sqlError) {
        const StoreError reported = error(StoreError::Kind::Create, sqlError);
        m_connection->run(QStringLiteral("ROLLBACK"));
        return reported;
    };
    if (const std::optional<QSqlError> refused = m_connection->run(beginWrite()))
        return failed(*refused);
    // Two tills starting at once on an empty database: the second waits here, then finds the table made.
    if (const std::optional<QSqlError> refused = m_connection->run(QStringLiteral("SELECT pg_advisory_xact_lock($1)"),
                                                                   {kSchemaLockTag | quint32(m_schemaHash)}))
        return failed(*refused);
    // Read from pg_class itself, through the statement's snapshot: a lookup by name (to_regclass) may still answer
    // from this session's cache, which hears of the other till's commit only at its next lock on a table.
    const std::optional<QList<QVariantList>> present = m_connection->rows(
        QStringLiteral("SELECT EXISTS (SELECT 1 FROM pg_class WHERE relname = 'ficha' AND relnamespace = "
                       "(SELECT oid FROM pg_namespace WHERE nspname = current_schema()))"));
    if (!present)
        return failed(m_connection->lastError());
    if (present->value(0).value(0).toBool()) {
        m_connection->run(QStringLiteral("ROLLBACK"));
        return false;
    }
    for (const QString& statement : statements)
        if (const std::optional<QSqlError> refused = m_connection->run(statement))
            return failed(*refused);
    if (const std::optional<QSqlError> refused = m_connection->run(QStringLiteral("COMMIT")))
        return failed(*refused);
    return true;
}

StoreResult<void> PostgresEngine::openOrCreate(MemberStore::Startup& startup, MemberStore::Indexes indexes,
                                               MemberStore::Shape)
{
    // A server's tables are examined as Usable: no copy is restored on a server.
    startup = {};
    if (StoreResult<void> done = prepareOperation(MemberStore::kOperationLimit); !done)
        return done;
    if (!m_schema.ficha) {
        if (!m_schema.empty)
            return failure(StoreError::Kind::Open, StoreError::Cause::NotMemberFile,
                           QStringLiteral("the database holds other tables, but no table ficha"));
        const StoreResult<bool> created = createSchema();
        if (!created)
            return created.error();
        startup.created = *created;
        StoreResult<Schema> schema = examine();
        if (!schema)
            return schema.error();
        m_schema = *schema;
    }
    if (m_schema.readOnly)
        startup.writesRefused = StoreError::Cause::ReadOnly;
    startup.indexesMissing = m_schema.indexesMissing;
    if (startup.indexesMissing && indexes == MemberStore::Indexes::Build && !m_schema.readOnly) {
        if (StoreResult<void> done = buildMissingIndexes(); !done)
            qWarning("socios: lookups in %s stay unindexed: %s", qUtf8Printable(m_path),
                     qUtf8Printable(done.error().toString()));
        else
            startup.indexesMissing = false;
    }
    return {};
}
