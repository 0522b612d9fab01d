#include "cli/WorkbookCommand.h"

#include "cli/CommandLine.h"
#include "cli/CommandLineText.h"
#include "cli/ErrorText.h"
#include "store/MemberRecord.h"
#include "workbook/Workbook.h"

#include <QDate>
#include <QFileInfo>
#include <QTextStream>

int runExportWorkbook(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    // A member file must be there to be read: a command never creates it.
    if (!store.isServer() && !QFileInfo::exists(store.path())) {
        err << "socios: " << CommandLineText::tr("there is no member file at %1").arg(store.path()) << '\n';
        return kExitStoreFailure;
    }
    const Result<WorkbookExported, WorkbookError> result =
        exportWorkbook(store, file, WorkbookOptions{QDate::currentDate()});
    if (!result) {
        const WorkbookError& failed = result.error();
        err << "socios: "
            << (failed.kind == WorkbookError::Kind::Store && failed.store
                    ? errorText(*failed.store)
                    : CommandLineText::tr("cannot write %1: %2").arg(file, failed.detail))
            << "\nsocios: " << CommandLineText::tr("nothing was written.") << '\n';
        switch (result.error().kind) {
        case WorkbookError::Kind::Store:
            return kExitStoreFailure;
        case WorkbookError::Kind::MemberFile:
            return kExitRefused;
        case WorkbookError::Kind::TooLong:
        case WorkbookError::Kind::Write:
            break;
        }
        return kExitBadInput;
    }
    out << "socios: "
        << CommandLineText::tr("exported %1 members and %2 points history records from %3 to %4")
               .arg(QString::number(result->members), QString::number(result->movements), store.displayName(), file);
    if (result->noValue)
        out << "; "
            << CommandLineText::tr("%1 fields without a value written as \"%2\"")
                   .arg(QString::number(result->noValue), kEmptyMark);
    out << '\n';
    return kExitOk;
}
