#pragma once

#include "store/MemberRecord.h"
#include "store/StoreError.h"

#include <QString>

#include <functional>
#include <optional>
#include <span>
#include <vector>

class QSqlQuery;

// One row met by a scan, offering the fields that the scan was asked for.
class StoredRow
{
public:
    // The field's text as stored; a NoValue error when the field holds no value.
    StoreResult<QString> text(Field field) const;

private:
    friend class MemberStore;
    StoredRow(const QSqlQuery& query, std::span<const Field> fields, const QString& path);

    const QSqlQuery& m_query;
    std::span<const Field> m_fields;
    const QString& m_path;
};

// The member file: table "ficha" of an SQLite database. Every operation opens the file itself and keeps
// nothing open when it returns, so each one sees the file as it is now, changes by other programs included.
// Rows are in table order (the order in which they were added). Every write is one transaction: it is on disk
// when the call returns successfully, and leaves nothing behind when it fails.
class MemberStore
{
public:
    explicit MemberStore(QString path);

    // "C:\MIS PROGRAMAS\dorvel.mdb" on Windows; elsewhere the home folder stands for the drive:
    // $HOME/MIS PROGRAMAS/dorvel.mdb.
    static QString defaultPath();

    const QString& path() const { return m_path; }

    // Start-up check. When no file exists at the path, creates its folder and a new database with an empty
    // "ficha". An existing file is never changed: it must be a database whose "ficha" has all thirteen columns.
    StoreStatus openOrCreate() const;

    // Visits every row in table order, reading the given fields. The visitor stops the scan by returning an
    // error, which the scan then returns.
    using RowVisitor = std::function<StoreStatus(const StoredRow&)>;
    StoreStatus scan(std::span<const Field> fields, const RowVisitor& visit) const;

    // Visits, in table order, every row whose birth date has its day (characters 1-2) and month (characters 4-5)
    // in `monthDays`, each written month then day ("0311" for 11 March), and every row whose birth date holds no
    // value; reads the given fields. The file's index on the birthday makes this cost the rows found, not the
    // rows stored.
    StoreStatus scanBirthdays(std::span<const QString> monthDays, std::span<const Field> fields,
                              const RowVisitor& visit) const;

    // Every row whose card number is exactly `card` (case and blanks count), in table order.
    StoreResult<std::vector<MemberRecord>> rowsWithCard(const QString& card) const;

    // Whether some row holds exactly this card number.
    StoreResult<bool> holdsCard(const QString& card) const;

    // Adds the record as the last row.
    StoreStatus append(const MemberRecord& record) const;

    // Fills a member file that holds no row with `records`, in order, in one transaction: all of them or none.
    // False, and nothing written, when the file holds a row already (imports never merge).
    StoreResult<bool> fillEmpty(std::span<const MemberRecord> records) const;

    // The number of rows.
    StoreResult<qint64> rowCount() const;

    // Adds the record as the last row unless some row holds its card number already. The check and the addition
    // are one transaction, so two tills registering one number at once give one row. False, and nothing
    // written, when the number is taken.
    StoreResult<bool> appendNew(const MemberRecord& record) const;

    // Writes all fields of the record into the first row (in table order) holding `card`.
    // False, and nothing written, when no row holds it.
    StoreResult<bool> rewriteFirst(const QString& card, const MemberRecord& record) const;

    // The new balance for the balance stored at the moment of writing; no value leaves the row as it is.
    using BalanceChange = std::function<std::optional<QString>(const QString& stored)>;
    struct PointsChange
    {
        enum class Outcome { Written, NoRow, Declined };
        Outcome outcome = Outcome::NoRow;
        QString stored; // when written: the balance read back from the row
    };

    // Changes the balance of the first row holding `card`, reading and writing it in one transaction, so that
    // a change made by another till meanwhile is never lost.
    StoreResult<PointsChange> changePoints(const QString& card, const BalanceChange& change) const;

private:
    StoreStatus visitRows(const QString& where, std::span<const QString> values, std::span<const Field> fields,
                          const RowVisitor& visit) const;

    QString m_path;
};
