#pragma once

// Inside the store only: what differs between the database engines that can hold "ficha". MemberStore writes every
// operation once, in SQL that both engines run, and asks the engine for the rest.

#include "store/Schema.h"
#include "store/StoreTypes.h"

#include <QHash>
#include <QSqlError>
#include <QVariant>

#include <chrono>
#include <optional>

// A statement of one connection, prepared once; the engine keeps it. Its values go to the engine apart from the
// statement's text, never into it.
class PreparedStatement
{
public:
    virtual ~PreparedStatement() = default;
    // Runs the statement with these values for its placeholders, in order; false, with error(), when it fails.
    virtual bool run(const QVariantList& values) = 0;
    // Steps to the next row the run gave; false at the end, and when reading failed (error() is then valid).
    virtual bool next() = 0;
    // Column `column` of the current row: a null QVariant for a field that holds no value, whole numbers (counts,
    // row ids) as qlonglong, and a field read with StoreEngine::read() as what StoreEngine::text() takes.
    virtual QVariant value(int column) const = 0;
    virtual QSqlError error() const = 0;
    // Ends the run: releases its rows and any read it holds.
    virtual void finish() = 0;
};

class StoreEngine
{
public:
    virtual ~StoreEngine() = default;

    // Start-up: examines the store, creates it when there is none, and makes it ready for work.
    virtual StoreResult<void> openOrCreate(StoreStartup& startup, StoreIndexes indexes, StoreShape shape) = 0;
    // Before each operation: makes sure the connection is open and still reaches the store the path names, and
    // stops every statement of the operation after `limit`.
    virtual StoreResult<void> prepareOperation(std::chrono::milliseconds limit) = 0;

    // A statement prepared once per connection (used through Statement). Its placeholders are placeholder(1),
    // placeholder(2)... in the order of the values it is run with.
    virtual PreparedStatement& prepared(const QString& sql) = 0;
    virtual QString placeholder(int number) const = 0;
    // Runs a statement that takes no values and gives no rows, such as transaction control, which an engine may
    // be unable to prepare. The engine's error when it fails.
    virtual std::optional<QSqlError> run(const QString& sql) = 0;

    // The name of the column that keeps table order.
    virtual QString rowId() const = 0;
    // The expression that reads a field, and the text that the value read holds.
    virtual QString read(Field field) const = 0;
    virtual QString text(const QVariant& value) const = 0;

    // Write transactions. Inside one, lockCard() keeps other tills from adding or changing rows with that card
    // number until the commit, lockTable() keeps them from adding or changing any row, and lockRow is added to a
    // SELECT of a row that will be changed.
    virtual QString beginWrite() const = 0;
    virtual StoreResult<void> lockCard(const QString& card) = 0;
    virtual StoreResult<void> lockTable() = 0;
    virtual QString lockRow() const = 0;

    // Inside a write transaction: makes sure the points history exists, creating it when the store has none yet.
    virtual StoreResult<void> prepareHistory() = 0;
    // Whether the points history exists (an older file, or a read-only one, may have none).
    virtual StoreResult<bool> hasHistory() = 0;
    // Whether the register of erasures exists: the first erasure makes it.
    virtual StoreResult<bool> hasErasures() = 0;

    // Inside the write transaction of an erasure: from now on the engine overwrites what it deletes, so that the
    // deleted texts stay in no free space of the store.
    virtual StoreResult<void> overwriteDeleted() { return {}; }
    // After an erasure: empties the store's log of the pages that held the deleted texts, waiting for other tills
    // as a save waits. False when other tills kept the log from being emptied.
    virtual StoreResult<bool> emptyLog() { return true; }

    // Every row whose card number is exactly `card`, in table order: the lookup of every card pass, which an engine
    // may run more directly than through Statement. rowsWithCardByStatement() is the plain way.
    virtual StoreResult<std::vector<FoundRow>> rowsWithCard(const QString& card) = 0;

    // The operator's view of an engine error. Cause::Conflict: the transaction was undone and may be tried again.
    virtual StoreError error(StoreError::Kind kind, const QSqlError& error) const = 0;

    // A consistent copy of the whole store as a member file in the empty file `file` (a PendingFile), made while
    // other tills may be working, and checked.
    virtual StoreResult<void> backupTo(const QString& file) = 0;

    virtual StoreResult<void> buildMissingIndexes() = 0;
    virtual StoreResult<bool> quickCheck() = 0;

    const QString& path() const { return m_path; }
    // What kind of store this engine works on, for the errors it reports.
    StoreError::Store storeKind() const { return m_storeKind; }

    // Called every few milliseconds while the engine waits for a server to answer (MemberStore::setWaiting()).
    void setWaiting(std::function<void()> waiting) { m_waiting = std::move(waiting); }

    // The text of a statement, built once per connection: `key` (a string literal) names it, `build` makes it.
    template <typename Build> const QString& sql(const char* key, Build build)
    {
        auto found = m_sql.constFind(key);
        if (found == m_sql.constEnd())
            found = m_sql.insert(key, build());
        return *found;
    }

protected:
    StoreEngine(QString path, StoreError::Store storeKind) : m_path(std::move(path)), m_storeKind(storeKind) {}

    // The same, for the engine's own interface, in UTF-8.
    template <typename Build> const QByteArray& rawSql(const char* key, Build build)
    {
        auto found = m_rawSql.constFind(key);
        if (found == m_rawSql.constEnd())
            found = m_rawSql.insert(key, build());
        return *found;
    }
    // A new connection may read the row id under another name.
    void forgetStatements()
    {
        m_sql.clear();
        m_rawSql.clear();
    }

    QString m_path;
    StoreError::Store m_storeKind;
    std::function<void()> m_waiting;

private:
    QHash<const char*, QString> m_sql;
    QHash<const char*, QByteArray> m_rawSql;
};

StoreResult<std::vector<FoundRow>> rowsWithCardByStatement(StoreEngine& engine, const QString& card);

// A prepared statement of the engine, run with values and read row by row; releases its rows (and any read it
// holds) when it goes.
class Statement
{
public:
    Statement(StoreEngine& engine, const QString& sql) : m_statement(engine.prepared(sql)) {}
    ~Statement() { m_statement.finish(); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool run(const QVariantList& values = {}) { return m_statement.run(values); }
    bool next() { return m_statement.next(); }
    QVariant value(int column) const { return m_statement.value(column); }
    QSqlError error() const { return m_statement.error(); }

private:
    PreparedStatement& m_statement;
};
