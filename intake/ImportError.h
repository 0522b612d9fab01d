#pragma once

#include "store/StoreError.h"

#include <QString>

#include <optional>
#include <utility>
#include <variant>

// A failure of an import of an Access member file, as the import reports it. The import never shows it; the
// command line and the application word it for whoever reads it.
struct ImportError
{
    enum class Kind {
        NotAccess,    // not an Access file: no Access header, or not a regular file
        Unreadable,   // the Access file cannot be opened or read whole
        Damaged,      // the reader failed on it (crashed, hung, ran out of memory, wrote too much) or its account of
                      // the table does not add up (fewer rows than the table counts)
        NoTable,      // no table "ficha"
        MissingField, // "ficha" lacks a field; detail names it
        BadValue,     // a value that cannot be stored as text; detail says where
        HoldsMembers, // the member file holds members already: an import never merges
        AccessAtPath, // the member file's place holds an Access file other than the one to import
        MemberFile,   // the member file cannot be opened, created or written; `store` says why
        KeepOriginal, // the copy of the original under another name could not be made
        Changed,      // the Access file changed while it was being imported
        Replace,      // the new member file could not be moved into place
        NoReader,     // the reader program is missing or does not start
        CutShort,     // the Access file is cut short: its size is not a whole number of its pages, or a page that it
                      // refers to lies beyond its end
    };

    Kind kind = Kind::Damaged;
    QString file;   // the Access file
    QString detail; // what the reader, the system or the check said
    std::optional<StoreError> store;

    // A one-line English description for the command line, logs and test failure output.
    QString toString() const;
};

// A value on success (nothing, for ImportResult<void>), the error otherwise.
template <typename T> using ImportResult = Result<T, ImportError>;
