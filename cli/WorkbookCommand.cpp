#include "cli/WorkbookCommand.h"

#include "cli/CommandLine.h"
#include "store/MemberRecord.h"
#include "workbook/Workbook.h"

#include <QDate>
#include <QFileInfo>
#include <QTextStream>

int runExportWorkbook(const QString& file, const StoreAddress& store, QTextStream& out, QTextStream& err)
{
    // A member file must be there to be read: a command never creates it.
    if (!store.isServer() && !QFileInfo::exists(store.path())) {
        err << "socios: there is no member file at " << store.path() << '\n';
        return kExitStoreFailure;
    }
    const Result<WorkbookExported, WorkbookError> result =
        exportWorkbook(store, file, WorkbookOptions{QDate::currentDate()});
    if (!result) {
        err << "socios: " << result.error().toString(file) << "\nsocios: nothing was written.\n";
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
    out << "socios: exported " << result->members << " members and " << result->movements
        << " points history records from " << store.displayName() << " to " << file;
    if (result->noValue)
        out << "; " << result->noValue << " fields without a value written as \"" << kEmptyMark << '"';
    out << '\n';
    return kExitOk;
}
