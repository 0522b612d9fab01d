#include "cli/ImportAccessCommand.h"

#include "cli/CommandLine.h"
#include "import/MemberImport.h"
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

int runImportAccess(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    const ImportResult<ImportSummary> result = store.isServer()
                                                   ? importAccessIntoStore(AccessReader(), file, MemberStore(store))
                                                   : importAccessFile(AccessReader(), file, store.path());
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
    return kExitOk;
}
