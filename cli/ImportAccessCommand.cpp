#include "cli/ImportAccessCommand.h"

#include "cli/CommandLine.h"
#include "import/MemberImport.h"
#include "import/WorkerThread.h"
#include "store/MemberStore.h"

#include <QTextStream>

int exitCodeFor(const ImportError& error)
{
    using Kind = ImportError::Kind;
    switch (error.kind) {
    case Kind::NotAccess:
    case Kind::Unreadable:
    case Kind::Damaged:
    case Kind::NoTable:
    case Kind::MissingField:
    case Kind::BadValue:
    case Kind::CutShort:
        return kExitBadInput;
    case Kind::HoldsMembers:
    case Kind::AccessAtPath:
    case Kind::Changed:
        return kExitRefused;
    case Kind::MemberFile:
    case Kind::KeepOriginal:
    case Kind::Replace:
    case Kind::NoReader:
        return kExitStoreFailure;
    }
    return kExitStoreFailure;
}

void writeCardNotes(QTextStream& out, const CardNotes& cards)
{
    const auto numbers = [](qsizetype count, const char* verb) {
        return QStringLiteral("%1 imported card number%2 %3").arg(count).arg(count == 1 ? "" : "s", verb);
    };
    if (!cards.tooLong.isEmpty()) {
        out << "socios: " << numbers(cards.tooLong.size(), cards.tooLong.size() == 1 ? "is" : "are")
            << " longer than the " << CardNotes::promptKeeps()
            << " characters that the till's prompt keeps; the till cannot open the members holding them:\n";
        for (const QString& card : cards.tooLong)
            out << "  " << card << " (the till reads " << CardNotes::tillReads(card) << ")\n";
    }
    if (!cards.shared.isEmpty()) {
        out << "socios: " << numbers(cards.shared.size(), cards.shared.size() == 1 ? "is" : "are")
            << " held by more than one row:\n";
        for (const CardNotes::Shared& shared : cards.shared)
            out << "  " << shared.card << " (" << shared.rows << " rows)\n";
    }
}

int runImportAccess(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    const ImportResult<ImportSummary> result = runOnWorkerThread([&] {
        return store.isServer() ? importAccessIntoStore(AccessReader(), file, MemberStore(store))
                                : importAccessFile(AccessReader(), file, store.path());
    });
    if (!result) {
        err << "socios: " << result.error().toString() << "\nsocios: nothing was changed.\n";
        return exitCodeFor(result.error());
    }
    out << "socios: imported " << result->members << " members from " << file << " into " << store.displayName() << "; "
        << result->emptyMarks << " fields without a value stored as \"" << kEmptyMark << '"';
    if (!result->converted.isEmpty())
        out << "; converted to text: " << result->converted.join(QLatin1String(", "));
    if (!result->keptOriginal.isEmpty())
        out << "; the Access file is kept as " << result->keptOriginal;
    out << '\n';
    writeCardNotes(out, result->cards);
    return kExitOk;
}
