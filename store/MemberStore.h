#pragma once

#include "store/MemberRecord.h"
#include "store/StoreAddress.h"
#include "store/StoreError.h"
#include "store/StoreTypes.h"

#include <QDate>
#include <QString>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class Statement;
class StoreEngine;

// One change of a member's balance, as the points history "movimientos" keeps it: all text.
struct Movement
{
    QString fecha;     // local date and time, "2026-12-06 17:45:03"
    QString ntarjeta;  // the card number
    QString antes;     // the balance before, as stored
    QString cantidad;  // the change, as Str writes a number
    QString despues;   // the balance after, as stored
    QString operacion; // "añadir puntos", "reset puntos" or "Modificar"
    QString equipo;    // the computer's name

    bool operator==(const Movement&) const = default;
};

// One row of the register of erasures "supresiones": a card number whose data was erased, and the day
// ("2026-12-07"). Nothing else about the person is kept.
struct ErasedCard
{
    QString ntarjeta;
    QString fecha;

    bool operator==(const ErasedCard&) const = default;
};

// One row met by a scan, offering the fields that the scan was asked for.
class StoredRow
{
public:
    // The field's text as stored; a NoValue error when the field holds no value.
    StoreResult<QString> text(Field field) const;

private:
    friend class MemberStore;
    StoredRow(const Statement& statement, std::span<const Field> fields, const StoreEngine& engine);

    const Statement& m_statement;
    std::span<const Field> m_fields;
    const StoreEngine& m_engine;
};

// The member file: table "ficha" of an SQLite database, or of a PostgreSQL database that several shops share. The
// store keeps one connection to the file and checks at every operation that the path still names the file it
// opened (a file replaced, moved or deleted meanwhile is opened anew, or reported missing), or that the server is
// still connected (a lost connection is made anew), so each operation sees the members as they are now, changes by
// other tills included. Rows are in table order (the order in which they were added). Every write is one
// transaction: it is on disk when the call returns successfully, and leaves nothing behind when it fails.
//
// Nothing in the file is run: triggers and views never act, a file whose "ficha" is not a plain table of text
// columns is refused before anything is written, and every statement is stopped after a few seconds (whole-file
// work, after kWholeFileLimit).
class MemberStore
{
public:
    // How long one operation of a till (a lookup, a save) may run before it is stopped, unless setTimeLimit() says
    // otherwise: nothing that a file holds can freeze a till.
    static constexpr std::chrono::milliseconds kOperationLimit = std::chrono::seconds(5);
    // How long work on the whole file may run: a scan of every row (an export), a copy and its check, an import,
    // counting the rows, building the indexes. Sized for 10 000 000 members on a slow PC, so that only a file that
    // hangs is stopped.
    static constexpr std::chrono::milliseconds kWholeFileLimit = std::chrono::minutes(60);

    // The SQLite member file at `path`.
    explicit MemberStore(QString path);
    explicit MemberStore(const StoreAddress& address);
    ~MemberStore();
    MemberStore(const MemberStore&) = delete;
    MemberStore& operator=(const MemberStore&) = delete;

    // "C:\MIS PROGRAMAS\dorvel.mdb" on Windows; elsewhere the home folder stands for the drive:
    // $HOME/MIS PROGRAMAS/dorvel.mdb. Elsewhere NoPlace when there is no home folder to stand for it: HOME unset or
    // empty, not an absolute path, not an existing folder, or a name that is not UTF-8 (which would name another
    // folder). The member file then has no place, and none is made anywhere else.
    struct NoPlace
    {
        QString reason; // one English line
    };
    static Result<QString, NoPlace> defaultPath();

    // The member file, or the server's display name (StoreAddress::displayName()): what messages name.
    const QString& path() const { return m_path; }
    const StoreAddress& address() const { return m_address; }

    // What start-up found, which indexes it builds, and how closely a file must match (store/StoreTypes.h).
    using Startup = StoreStartup;
    using Indexes = StoreIndexes;
    using Shape = StoreShape;

    // Start-up check. When no file exists at the path, creates its folder and a new database with an empty "ficha";
    // so it does in an empty file that this process is making (a PendingFile). First removes what interrupted
    // writers left in the folder (PendingFile::removeLeftovers()). A file that may be foreign is examined without
    // writing to it: it must be a database whose "ficha" is a plain table with the thirteen columns as text. A member
    // file may then be written to: an interrupted save is undone, the journal mode is set, and with Indexes::Build
    // the lookup indexes are added when missing.
    StoreResult<void> openOrCreate(Indexes indexes = Indexes::Build, Shape shape = Shape::Usable) const;
    const Startup& startup() const { return m_startup; }

    // Adds the lookup indexes a file lacks, each in a transaction of its own, so that other tills wait for one
    // index at a time.
    StoreResult<void> buildMissingIndexes() const;

    // Writes a consistent copy of the whole member file (members and points history) to `file`, which must not
    // exist, while other tills may go on working; the copy is checked for damage before the call succeeds, and
    // nothing is left at `file` when it fails.
    StoreResult<void> backupTo(const QString& file) const;

    // Reads the whole file for damage; true when it is intact. A server checks its own data: always true there.
    StoreResult<bool> quickCheck() const;

    // From now on every write is refused for `cause` (a damaged file) and writes nothing.
    void refuseWrites(StoreError::Cause cause) const;

    // Called every few milliseconds while a server is waited for (a new connection to one), so that the caller
    // can keep its window painted: a server that does not answer at once is given about a second before the
    // operation fails as unreachable. It must not use this store.
    void setWaiting(std::function<void()> waiting);

    // How long one operation of a till may run before it is stopped (kOperationLimit unless set). Whole-file work
    // keeps kWholeFileLimit.
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    // Visits every row in table order, reading the given fields, as whole-file work. The visitor stops the scan by
    // returning an error, which the scan then returns.
    using RowVisitor = std::function<StoreResult<void>(const StoredRow&)>;
    StoreResult<void> scan(std::span<const Field> fields, const RowVisitor& visit) const;

    // Visits, in table order, every row whose birth date has its day (characters 1-2) and month (characters 4-5)
    // in `monthDays`, each written month then day ("0311" for 11 March), and every row whose birth date holds no
    // value; reads the given fields. The file's index on the birthday makes this cost the rows found, not the
    // rows stored.
    StoreResult<void> scanBirthdays(std::span<const QString> monthDays, std::span<const Field> fields,
                                    const RowVisitor& visit) const;

    // Every row whose card number is exactly `card` (case and blanks count), in table order.
    StoreResult<std::vector<FoundRow>> rowsWithCard(const QString& card) const;

    // Whether some row holds exactly this card number.
    StoreResult<bool> holdsCard(const QString& card) const;

    // Adds the record as the last row.
    StoreResult<void> append(const MemberRecord& record) const;

    // Fills a member file that holds no row with the records handed over one by one as `produce` makes them
    // (reading a large file, say), so that they need not all be held at once, in one transaction: all of them or
    // none. `produce` calls `add` for each record in order; the first failure of either ends the fill, and nothing
    // of it is kept. False, and nothing written, when the file holds a row already (imports never merge).
    using AddRecord = std::function<StoreResult<void>(const MemberRecord& record)>;
    using RecordProducer = std::function<StoreResult<void>(const AddRecord& add)>;
    StoreResult<bool> fillEmpty(const RecordProducer& produce) const;

    // The number of rows, counted as whole-file work.
    StoreResult<qint64> rowCount() const;

    // Adds the record as the last row unless some row holds its card number already. The check and the addition
    // are one transaction, so two tills registering one number at once give one row. False, and nothing
    // written, when the number is taken.
    StoreResult<bool> appendNew(const MemberRecord& record) const;

    // Writes all fields of the record into the row `shown`, which a lookup found, if that row still holds what the
    // lookup read: what the till showed before the operator changed it. Other rows with the same card number are
    // left as they are. The check and the write are one transaction, so a change made by another till meanwhile is
    // never written over. A changed balance goes into the points history in the same transaction. NoRow: the row
    // is gone, or holds another card number now.
    struct Rewrite
    {
        enum class Outcome { Written, NoRow, Changed };
        Outcome outcome = Outcome::NoRow;
        FoundRow stored; // when changed: what the row holds now
    };
    StoreResult<Rewrite> rewrite(const FoundRow& shown, const MemberRecord& record) const;

    // The new balance for the balance stored at the moment of writing; no value leaves the row as it is.
    using BalanceChange = std::function<std::optional<QString>(const QString& stored)>;
    struct PointsChange
    {
        enum class Outcome { Written, NoRow, Declined };
        Outcome outcome = Outcome::NoRow;
        QString stored; // when written: the balance read back from the row
    };

    // Changes the balance of the first row holding `card`, reading and writing it in one transaction, so that
    // a change made by another till meanwhile is never lost. The points history records it as `operation`, in the
    // same transaction: a change is never written without its record, nor a record without its change.
    StoreResult<PointsChange> changePoints(const QString& card, const BalanceChange& change,
                                           const QString& operation = QStringLiteral("añadir puntos")) const;

    // The points history of a card number, oldest first; empty for a file that has none yet.
    StoreResult<std::vector<Movement>> history(const QString& card) const;

    // Visits every record of the points history, oldest first (nothing for a store that has none yet), without
    // holding them all. The visitor stops the scan by returning an error, which the scan then returns.
    using MovementVisitor = std::function<StoreResult<void>(const Movement&)>;
    StoreResult<void> scanHistory(const MovementVisitor& visit) const;

    // Everything the store holds about a card number: its rows of "ficha" in table order, each field as stored (no
    // value for a field that holds none), its points history, and its rows of the register of erasures.
    struct MemberData
    {
        std::vector<StoredFields> rows;
        std::vector<Movement> movements;
        std::vector<ErasedCard> erasures;
    };
    StoreResult<MemberData> memberData(const QString& card) const;

    // Erases a card number in one write transaction, which waits for the tills' saves and makes them wait: every
    // row of "ficha" on it and every record of its points history go, and the register of erasures (made when
    // missing) gains the number with `day`. The deleted texts are written over in the file; then its log is
    // emptied. NoCard, and nothing written, when the store holds nothing of the number and the register does not
    // name it either.
    struct Erasure
    {
        enum class Outcome { Erased, NoCard };
        Outcome outcome = Outcome::NoCard;
        std::vector<MemberRecord> removed; // the rows of "ficha", in table order
        qint64 movements = 0;              // the records of the points history
        // False when other tills kept the log from being emptied: the erased texts may stay in it until they stop.
        bool logEmptied = true;
        // When emptying the log failed, after the erasure itself was stored: why.
        std::optional<StoreError> logFailure = {};
    };
    StoreResult<Erasure> erase(const QString& card, const QDate& day) const;

    // The register of erasures, oldest first; empty for a store that has none yet.
    StoreResult<std::vector<ErasedCard>> erasures() const;

    // Applies a register to this store (a copy): every number it names is erased as erase() erases it, and its
    // rows that this store's register lacks are added, in one write transaction. The rows of "ficha" removed.
    StoreResult<qint64> applyErasures(std::span<const ErasedCard> erased) const;

private:
    StoreResult<void> copyServerInto(const QString& file) const;
    StoreResult<void> visitRows(const QString& where, std::span<const QString> values, std::span<const Field> fields,
                                const RowVisitor& visit, std::optional<std::chrono::milliseconds> limit = {}) const;
    // Runs `work` with the engine's connection open and fresh, under the time limit of one operation unless
    // `limit` gives another.
    template <typename Work>
    auto withEngine(Work work, std::optional<std::chrono::milliseconds> limit = {}) const
        -> decltype(work(std::declval<StoreEngine&>()));
    template <typename Work>
    auto inWriteTransaction(Work work, std::optional<std::chrono::milliseconds> limit = {}) const
        -> decltype(work(std::declval<StoreEngine&>()));

    StoreAddress m_address;
    QString m_path;
    std::unique_ptr<StoreEngine> m_engine;
    mutable Startup m_startup;
    mutable std::optional<StoreError::Cause> m_refusedWrites;
    std::chrono::milliseconds m_timeLimit = kOperationLimit;
};
