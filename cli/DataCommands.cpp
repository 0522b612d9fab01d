#include "cli/DataCommands.h"

#include "backup/Backups.h"
#include "cli/CommandLine.h"
#include "cli/CommandLineText.h"
#include "cli/ErrorText.h"
#include "cli/ImportReport.h"
#include "csv/CsvTransfer.h"
#include "import/WorkerThread.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

// A member store failure: reading or writing the member file is what failed.
int storeFailure(const StoreError& error, QTextStream& err)
{
    err << "socios: " << errorText(error) << '\n';
    return kExitStoreFailure;
}

// A member file must be there to be read: a command never creates it.
std::optional<int> needsMemberFile(const StoreAddress& store, QTextStream& err)
{
    if (store.isServer() || QFileInfo::exists(store.path()))
        return std::nullopt;
    err << "socios: " << CommandLineText::tr("there is no member file at %1").arg(store.path()) << '\n';
    return kExitStoreFailure;
}

} // namespace

int runExportCsv(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    if (const std::optional<int> missing = needsMemberFile(store, err))
        return *missing;
    if (store.isMemberFile(file)) {
        err << "socios: " << CommandLineText::tr("%1 is the member file, which an export never writes over").arg(file)
            << "\nsocios: " << CommandLineText::tr("nothing was exported.") << '\n';
        return kExitRefused;
    }
    const Result<CsvExported, CsvExportError> result = exportMembers(MemberStore(store), file);
    if (!result) {
        const CsvExportError* failed = &result.error();
        if (failed->store)
            err << "socios: " << errorText(*failed->store) << '\n';
        else
            err << "socios: " << CommandLineText::tr("cannot write %1: %2").arg(failed->file, failed->detail) << '\n';
        // An export writes the whole file or nothing: what was at its place before is still there.
        err << "socios: "
            << (QFileInfo::exists(file) ? CommandLineText::tr("nothing was exported; %1 is as it was before.")
                                        : CommandLineText::tr("nothing was exported; no file was made at %1."))
                   .arg(file)
            << '\n';
        return failed->store ? kExitStoreFailure : kExitBadInput;
    }
    const CsvExported& exported = *result;
    out << "socios: "
        << CommandLineText::tr("exported %1 members from %2 to %3")
               .arg(QString::number(exported.members), store.displayName(), file);
    if (exported.noValue)
        out << "; "
            << CommandLineText::tr("%1 fields without a value written as \"%2\"")
                   .arg(QString::number(exported.noValue), kEmptyMark);
    out << '\n';
    return kExitOk;
}

int runImportCsv(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    const ImportResult<CsvImported> result = runOnWorkerThread([&] { return importMembers(file, store); });
    if (!result) {
        err << "socios: " << errorText(result.error()) << "\nsocios: " << CommandLineText::tr("nothing was changed.")
            << '\n';
        return exitCodeFor(result.error());
    }
    out << "socios: "
        << CommandLineText::tr("imported %1 members from %2 (fields separated by \"%3\") into %4")
               .arg(QString::number(result->members), file, result->separator, store.displayName())
        << '\n';
    writeCardNotes(out, result->cards);
    return kExitOk;
}

int runBackup(const QString& folder, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    if (const std::optional<int> missing = needsMemberFile(store, err))
        return *missing;
    if (!QDir().mkpath(folder)) {
        err << "socios: " << CommandLineText::tr("cannot create the folder %1").arg(folder) << '\n';
        return kExitBadInput;
    }
    // A server's copy is a member file too, named after the server's database.
    const QString name = store.isServer() ? QStringLiteral("socios-") + store.parameter(QStringLiteral("dbname"))
                                          : QFileInfo(store.path()).completeBaseName();
    const QString copy = QDir(folder).absoluteFilePath(
        QStringLiteral("%1-%2.mdb")
            .arg(name, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"))));
    if (const StoreResult<void> done = MemberStore(store).backupTo(copy); !done)
        return storeFailure(done.error(), err);
    out << "socios: " << CommandLineText::tr("copied %1 to %2, checked").arg(store.displayName(), copy) << '\n';
    return kExitOk;
}

int runRestore(const QString& copy, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    if (store.isServer()) {
        err << "socios: "
            << CommandLineText::tr("a server's members are restored with pg_restore (see docs/chain.md), not with "
                                   "--restore")
            << "\nsocios: " << CommandLineText::tr("nothing was changed.") << '\n';
        return kExitRefused;
    }
    const QString memberPath = store.path();
    const Result<Restored, RestoreError> result = restoreCopy(copy, memberPath);
    if (!result) {
        const RestoreError* failed = &result.error();
        err << "socios: " << failed->detail;
        if (failed->store)
            err << " (" << errorText(*failed->store) << ')';
        err << "\nsocios: " << CommandLineText::tr("nothing was changed.") << '\n';
        switch (failed->kind) {
        case RestoreError::Kind::BadCopy:
            return kExitBadInput;
        case RestoreError::Kind::InUse:
            return kExitRefused;
        case RestoreError::Kind::Failed:
            break;
        }
        return kExitStoreFailure;
    }
    const Restored& restored = *result;
    out << "socios: "
        << CommandLineText::tr("restored %1 (%2 members) as %3")
               .arg(copy, QString::number(restored.members), memberPath);
    if (!restored.keptAside.isEmpty())
        out << "; " << CommandLineText::tr("the file that was there is kept as %1").arg(restored.keptAside);
    out << '\n';
    if (restored.erasedAgain > 0)
        out << "socios: " << restored.erasedAgain
            << " members of the copy were erased again, as the register of erasures asks\n";
    return kExitOk;
}

int runHistory(const QString& card, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    if (const std::optional<int> missing = needsMemberFile(store, err))
        return *missing;
    const StoreResult<std::vector<Movement>> movements = MemberStore(store).history(card);
    if (!movements)
        return storeFailure(movements.error(), err);
    if (movements->empty())
        err << "socios: " << CommandLineText::tr("no change of balance recorded for card %1").arg(card) << '\n';
    // One change a line, its fields separated by tabs: date and time, operation, balance before, change, balance
    // after, computer.
    for (const Movement& m : *movements)
        out << m.fecha << '\t' << m.operacion << '\t' << m.antes << '\t' << m.cantidad << '\t' << m.despues << '\t'
            << m.equipo << '\n';
    return kExitOk;
}

int runMemberData(const QString& card, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    if (const std::optional<int> missing = needsMemberFile(store, err))
        return *missing;
    const StoreResult<MemberStore::MemberData> data = MemberStore(store).memberData(card);
    if (!data)
        return storeFailure(data.error(), err);
    if (data->rows.empty() && data->movements.empty()) {
        err << "socios: "
            << (data->erasures.empty()
                    ? CommandLineText::tr("%1 holds nothing of card number %2").arg(store.displayName(), card)
                    : CommandLineText::tr("%1 holds nothing of card number %2: it was erased on %3")
                          .arg(store.displayName(), card, data->erasures.front().fecha))
            << '\n';
        return kExitNoMember;
    }
    // Tables by their names, rows in table order, each by its column names.
    QJsonArray rows;
    for (const auto& stored : data->rows) {
        QJsonObject row;
        for (Field f : allFields()) {
            const std::optional<QString>& value = stored[std::size_t(f)];
            row.insert(QLatin1String(fieldName(f)), value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null));
        }
        rows.append(row);
    }
    QJsonArray movements;
    for (const Movement& m : data->movements)
        movements.append(QJsonObject{{QStringLiteral("fecha"), m.fecha},
                                     {QStringLiteral("ntarjeta"), m.ntarjeta},
                                     {QStringLiteral("antes"), m.antes},
                                     {QStringLiteral("cantidad"), m.cantidad},
                                     {QStringLiteral("despues"), m.despues},
                                     {QStringLiteral("operacion"), m.operacion},
                                     {QStringLiteral("equipo"), m.equipo}});
    QJsonArray erasures;
    for (const ErasedCard& erased : data->erasures)
        erasures.append(
            QJsonObject{{QStringLiteral("ntarjeta"), erased.ntarjeta}, {QStringLiteral("fecha"), erased.fecha}});
    const QJsonObject all{{QStringLiteral("ntarjeta"), card},
                          {QStringLiteral("ficha"), rows},
                          {QStringLiteral("movimientos"), movements},
                          {QStringLiteral("supresiones"), erasures}};
    out << QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented));
    return kExitOk;
}

int runErase(const QString& card, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    if (const std::optional<int> missing = needsMemberFile(store, err))
        return *missing;
    const MemberStore members(store);
    const StoreResult<MemberStore::Erasure> erased = members.erase(card, QDate::currentDate());
    if (!erased) {
        // The erasure is one transaction: a failure leaves the store as it was.
        err << "socios: " << errorText(erased.error()) << "\nsocios: " << CommandLineText::tr("nothing was changed.")
            << '\n';
        return kExitStoreFailure;
    }
    if (erased->outcome == MemberStore::Erasure::Outcome::NoCard) {
        err << "socios: " << CommandLineText::tr("%1 holds nothing of card number %2").arg(store.displayName(), card)
            << "\nsocios: " << CommandLineText::tr("nothing was changed.") << '\n';
        return kExitNoMember;
    }
    int exit = kExitOk;
    if (erased->removed.empty() && erased->movements == 0)
        out << "socios: "
            << CommandLineText::tr("%1 holds nothing more of card number %2, which was erased before")
                   .arg(store.displayName(), card)
            << '\n';
    else
        out << "socios: "
            << CommandLineText::tr("erased card number %1 from %2: %3 members and %4 points history records")
                   .arg(card, store.displayName())
                   .arg(qsizetype(erased->removed.size()))
                   .arg(erased->movements)
            << '\n';
    for (const MemberRecord& row : erased->removed)
        out << "  " << row.nombre << ' ' << row.apellidos << '\n';
    if (erased->logFailure) {
        err << "socios: " << errorText(*erased->logFailure) << '\n';
        exit = kExitStoreFailure;
    } else if (!erased->logEmptied) {
        err << "socios: "
            << CommandLineText::tr("other programs reading %1 kept its log (%1-wal) from being emptied: the erased "
                                   "texts may stay in it until they close; run this command again then")
                   .arg(store.displayName())
            << '\n';
        exit = kExitStoreFailure;
    }
    // A server's copies are made where it runs (pg_dump): the copies of socios are those of a member file.
    if (store.isServer())
        return exit;
    const StoreResult<std::vector<ErasedCard>> named = members.erasures();
    if (!named)
        return storeFailure(named.error(), err);
    const Backups::CopiesErased copies = Backups(store.path()).eraseFromCopies(*named);
    for (const QString& copy : copies.rewritten)
        out << "socios: " << CommandLineText::tr("rewrote the copy %1 without card number %2").arg(copy, card) << '\n';
    for (const auto& [copy, why] : copies.failed) {
        err << "socios: "
            << CommandLineText::tr("cannot rewrite the copy %1, which may still hold card number %2: %3")
                   .arg(copy, card, why)
            << '\n';
        exit = kExitStoreFailure;
    }
    return exit;
}
