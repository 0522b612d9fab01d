#pragma once

#include "store/StoreAddress.h"
#include "store/StoreError.h"

#include <QDate>
#include <QString>

#include <optional>

// The owner's workbook: every member, the points history and a summary with charts, in one .xlsx file that every
// spreadsheet opens as it is. Members are text cells holding the stored text exactly, so that no spreadsheet turns
// card "0007" into 7.

// The rows a sheet of a spreadsheet holds, its header included.
inline constexpr qint64 kSheetRows = 1048576;

struct WorkbookOptions
{
    QDate today;                   // the day the summary counts from
    qint64 sheetRows = kSheetRows; // rows a sheet is given, header included; more continue on the next sheet
};

struct WorkbookExported
{
    qint64 members = 0;
    qint64 movements = 0;
    qint64 noValue = 0; // fields without a value (NULL, written by another program), written as the empty mark
    int memberSheets = 0;
};

struct WorkbookError
{
    enum class Kind {
        Store,      // reading the members or the points history failed: `store` says why
        TooLong,    // a field holds more characters than a spreadsheet cell can: `detail` names the card and field
        Write,      // the workbook could not be written (a full disk, a folder that cannot be written)
        MemberFile, // the file named is the member file itself, which a workbook never replaces
    };
    Kind kind = Kind::Write;
    std::optional<StoreError> store;
    QString detail;

    // A one-line English description, naming the file.
    QString toString(const QString& file) const;
};

// Writes the workbook of the members store to `file`:
// - "Socios" (then "Socios 2", "Socios 3"... when a sheet is full): one row per member in table order under a bold
//   header of the thirteen field names that stays in view, a filter on every column, every cell a text cell;
// - "Movimientos" (then "Movimientos 2"...): the points history, its date and time a date cell, its amounts numbers;
// - "Resumen": the owner's figures as of options.today and three charts, in Spanish.
// It runs in constant memory whatever the number of members. The workbook is built under a temporary name in the
// folder of `file` and takes its name only when complete: on failure nothing is left at `file` (a file that was
// there stays as it was). The member file itself is never replaced.
Result<WorkbookExported, WorkbookError> exportWorkbook(const StoreAddress& store, const QString& file,
                                                       const WorkbookOptions& options);
