#include "cli/DataCommands.h"

#include "backup/Backups.h"
#include "cli/CommandLine.h"
#include "cli/CommandLineText.h"
#include "cli/ImportAccessCommand.h"
#include "csv/CsvTransfer.h"
#include "import/WorkerThread.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

// A member store failure: reading or writing the member file is what failed.
int storeFailure(const StoreError& error, QTextStream& err)
{
    err << "socios: " << error.toString() << '\n';
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
    const std::variant<CsvExported, CsvExportError> result = exportMembers(MemberStore(store), file);
    if (const auto* failed = std::get_if<CsvExportError>(&result)) {
        if (failed->store)
            err << "socios: " << failed->store->toString() << '\n';
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
    const CsvExported& exported = std::get<CsvExported>(result);
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
        err << "socios: " << result.error().toString() << "\nsocios: " << CommandLineText::tr("nothing was changed.")
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
    if (const StoreFailure failed = MemberStore(store).backupTo(copy))
        return storeFailure(*failed, err);
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
    const std::variant<Restored, RestoreError> result = restoreCopy(copy, memberPath);
    if (const auto* failed = std::get_if<RestoreError>(&result)) {
        err << "socios: " << failed->detail;
        if (failed->store)
            err << " (" << failed->store->toString() << ')';
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
    const Restored& restored = std::get<Restored>(result);
    out << "socios: "
        << CommandLineText::tr("restored %1 (%2 members) as %3")
               .arg(copy, QString::number(restored.members), memberPath);
    if (!restored.keptAside.isEmpty())
        out << "; " << CommandLineText::tr("the file that was there is kept as %1").arg(restored.keptAside);
    out << '\n';
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
