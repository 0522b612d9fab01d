#pragma once

#include <QString>
#include <QStringList>

// Exit codes of socios, in every mode. The manual page lists them (packaging/socios.h2m): a new one goes there too.
enum ExitCode : int {
    kExitOk = 0,
    kExitStoreFailure = 1, // the member store cannot be opened, read or written, socios.conf cannot be used, or
                           // there is no home folder to hold the member file; or an erasure, done in the store,
                           // could not reach a copy or empty the member file's log (each named on stderr)
    kExitUsage = 2,        // an unknown option, a missing value, or modes that exclude each other
    kExitBadInput = 3,     // the file given cannot be used: missing, unreadable, not of its kind, damaged, incomplete;
                           // or an export cannot be written whole (what was at its place is left as it was)
    kExitRefused = 4,      // refused to protect the members: the member store already holds members, or is in use
    kExitDeclined = 5,     // the operator chose not to go on (the window's start-up questions)
    kExitNoMember = 6,     // the store holds nothing of the card number given (--member-data, --erase)
};

// What the command line asks for. Without a mode option, socios opens its window.
struct CommandLine
{
    enum class Mode {
        Window,
        Help,
        Version,
        ImportAccess,
        ExportCsv,
        ExportWorkbook,
        ImportCsv,
        Backup,
        Restore,
        History,
        MemberData,
        Erase,
        UsageError,
    };

    Mode mode = Mode::Window;
    QString value;    // the mode option's value (a file, a folder, a card number)
    QString error;    // UsageError: what is wrong, in one line
    QString database; // --database: the store for this run, in every mode (see chooseStore())
};

// Parses the arguments (program name first). Needs no application object, so that main() can choose between a
// window and a command-line mode before it makes one.
CommandLine parseCommandLine(const QStringList& arguments);

// Runs a command-line mode: results on stdout, problems on stderr. Needs a QCoreApplication, never a display.
// Returns the process exit code.
int runCommandLine(const CommandLine& command);
