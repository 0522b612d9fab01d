#pragma once

#include "store/Result.h"

#include <QString>

#include <optional>

// A failure of the member file, as the store reports it. The store never shows it; the application words it
// for the operator.
struct StoreError
{
    enum class Kind {
        Open,    // the file cannot be opened as the member database (missing, locked, not a database, no "ficha")
        Create,  // a new, empty member database could not be created
        Read,    // reading rows failed
        NoValue, // a field that had to be read holds no value (NULL); detail names the field
        Write,   // a write was refused; nothing of it was kept
    };

    // What the engine's error says about the file, for telling the operator what to do about it.
    enum class Cause {
        Other,
        Locked,        // another program holds the file longer than the store waits
        ReadOnly,      // the file, or its folder, cannot be written
        DiskFull,      // no room left to write
        NotMemberFile, // not a database, or one without "ficha" or one of its columns
        UnsafeSchema,  // "ficha" is there, but not as a plain table of text columns (a view, triggers, numbers)
        CannotOpen,    // missing, or not readable
        Damaged,       // a database whose contents are corrupt
        Leftover,      // an interrupted save left a journal beside a file that is missing or was replaced
        NeedsRepair,   // an interrupted save must be undone, but the file or its folder cannot be written
        TooSlow,       // a statement ran past its time limit and was stopped
        Restoring,     // a copy is being restored in place of the file (socios --restore) for longer than the wait
        // A database server:
        ServerUnreachable, // the server cannot be reached, or the connection to it was lost (down, restarting,
                           // network); reconnected at the next operation
        ServerRefused,     // the server refuses the connection: password, permission, or no such database
        Conflict,          // other tills' changes kept conflicting with this one, which was tried again and gave up
        CommitUnknown,     // the connection was lost while a change was committed: it may be stored or not
    };

    // What kind of store failed.
    enum class Store { File, Server };

    Kind kind = Kind::Read;
    QString path;   // the member file (or the file a copy goes to), or the server (StoreAddress::displayName())
    QString detail; // the database engine's own message, or the field name for NoValue
    Cause cause = Cause::Other;
    QString card = {}; // NoValue: the card number of the row, when it has one
    Store store = Store::File;

    // A one-line English description for logs and test failure output.
    QString toString() const;
};

template <typename T> using StoreResult = Result<T, StoreError>;
