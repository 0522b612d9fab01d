#include "cli/ImportAccessCommand.h"

#include "cli/CommandLine.h"
#include "cli/CommandLineText.h"
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
    if (!cards.tooLong.isEmpty()) {
        out << "socios: "
            << (cards.tooLong.size() == 1
                    ? CommandLineText::tr("1 imported card number is longer than the %1 characters that the till's "
                                          "prompt keeps; the till cannot open the members holding them:")
                          .arg(CardNotes::promptKeeps())
                    : CommandLineText::tr("%1 imported card numbers are longer than the %2 characters that the "
                                          "till's prompt keeps; the till cannot open the members holding them:")
                          .arg(QString::number(cards.tooLong.size()), QString::number(CardNotes::promptKeeps())))
            << '\n';
        for (const QString& card : cards.tooLong)
            out << "  " << CommandLineText::tr("%1 (the till reads %2)").arg(card, CardNotes::tillReads(card)) << '\n';
    }
    if (!cards.shared.isEmpty()) {
        out << "socios: "
            << (cards.shared.size() == 1 ? CommandLineText::tr("1 imported card number is held by more than one row:")
                                         : CommandLineText::tr("%1 imported card numbers are held by more than one "
                                                               "row:")
                                               .arg(cards.shared.size()))
            << '\n';
        for (const CardNotes::Shared& shared : cards.shared)
            out << "  " << CommandLineText::tr("%1 (%2 rows)").arg(shared.card, QString::number(shared.rows)) << '\n';
    }
}

int runImportAccess(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    const ImportResult<ImportSummary> result = runOnWorkerThread([&] {
        return store.isServer() ? importAccessIntoStore(AccessReader(), file, MemberStore(store))
                                : importAccessFile(AccessReader(), file, store.path());
    });
    if (!result) {
        err << "socios: " << result.error().toString() << "\nsocios: " << CommandLineText::tr("nothing was changed.")
            << '\n';
        return exitCodeFor(result.error());
    }
    out << "socios: "
        << CommandLineText::tr("imported %1 members from %2 into %3; %4 fields without a value stored as \"%5\"")
               .arg(QString::number(result->members), file, store.displayName(), QString::number(result->emptyMarks),
                    kEmptyMark);
    if (!result->converted.isEmpty())
        out << "; " << CommandLineText::tr("converted to text: %1").arg(result->converted.join(QLatin1String(", ")));
    if (!result->keptOriginal.isEmpty())
        out << "; " << CommandLineText::tr("the Access file is kept as %1").arg(result->keptOriginal);
    out << '\n';
    writeCardNotes(out, result->cards);
    return kExitOk;
}
