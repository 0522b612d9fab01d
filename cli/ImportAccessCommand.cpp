#include "cli/ImportAccessCommand.h"

#include "cli/CommandLine.h"
#include "cli/CommandLineText.h"
#include "cli/ErrorText.h"
#include "cli/ImportReport.h"
#include "import/MemberImport.h"
#include "import/WorkerThread.h"
#include "store/MemberStore.h"

#include <QTextStream>

int runImportAccess(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    const ImportResult<ImportSummary> result = runOnWorkerThread([&] {
        return store.isServer() ? importAccessIntoStore(AccessReader(), file, MemberStore(store))
                                : importAccessFile(AccessReader(), file, store.path());
    });
    if (!result) {
        err << "socios: " << errorText(result.error()) << "\nsocios: " << CommandLineText::tr("nothing was changed.")
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
