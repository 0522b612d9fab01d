#include "app/Messages.h"

#include "app/WindowText.h"

#include <QStringList>

namespace {

QString whatFailed(const StoreError& error)
{
    if (error.store == StoreError::Store::File) {
        switch (error.kind) {
        case StoreError::Kind::Open:
            return WindowText::tr("The member file cannot be opened:");
        case StoreError::Kind::Create:
            return WindowText::tr("The member file cannot be created:");
        case StoreError::Kind::Read:
            return WindowText::tr("The members cannot be read from the file:");
        case StoreError::Kind::NoValue:
            return WindowText::tr("The member file holds a row with a field without a value:");
        case StoreError::Kind::Write:
            return WindowText::tr("The change was not saved; nothing was written to the member file:");
        }
        return {};
    }
    switch (error.kind) {
    case StoreError::Kind::Open:
        return WindowText::tr("The member server cannot be used:");
    case StoreError::Kind::Create:
        return WindowText::tr("The member tables cannot be created on the server:");
    case StoreError::Kind::Read:
        return WindowText::tr("The members cannot be read from the server:");
    case StoreError::Kind::NoValue:
        return WindowText::tr("The member server holds a row with a field without a value:");
    case StoreError::Kind::Write:
        if (error.cause == StoreError::Cause::CommitUnknown)
            return WindowText::tr("The connection to the member server was lost while the change was being saved:");
        return WindowText::tr("The change was not saved; nothing was written to the member server:");
    }
    return {};
}

// What the operator can do about a failure of the server.
QString serverAdvice(StoreError::Cause cause)
{
    using Cause = StoreError::Cause;
    switch (cause) {
    case Cause::ServerUnreachable:
        return WindowText::tr("There is no connection to the server: it may be off or restarting, or the network may "
                              "be down. Check the network and try again; the program connects again by itself.");
    case Cause::ServerRefused:
        return WindowText::tr("The server does not accept the connection. Check the user, the password (in the file "
                              ".pgpass) and the name of the database, or tell whoever runs the server.");
    case Cause::CommitUnknown:
        return WindowText::tr("The change may or may not have been saved. Before making it again, look the member up "
                              "so as not to save it twice.");
    case Cause::Conflict:
    case Cause::Locked:
        return WindowText::tr("Another till is saving the same data. Wait a few seconds and try again.");
    case Cause::ReadOnly:
        return WindowText::tr("The server lets the members be looked up but not changed (a read-only server, or a user "
                              "without permission to write). Tell whoever runs the server.");
    case Cause::UnsafeSchema:
        return WindowText::tr("The table «ficha» of that database is not a plain table of text (it is a view, it has "
                              "triggers or rules, or fields that are not text). It was not changed.");
    case Cause::TooSlow:
        return WindowText::tr("The server took too long to answer and the operation was stopped. Nothing was saved.");
    case Cause::DiskFull:
        return WindowText::tr("The server's disk is full. Tell whoever runs the server.");
    case Cause::NotMemberFile:
        return WindowText::tr("That database is not the member database (the table «ficha» or one of its fields is "
                              "missing). It was not changed.");
    case Cause::CannotOpen:
        return WindowText::tr("The database does not exist or cannot be opened.");
    case Cause::Damaged:
        return WindowText::tr("The server reports damaged data. Tell whoever runs the server.");
    case Cause::NeedsRepair:
    case Cause::Leftover:
    case Cause::Restoring: // a server is never restored in place
    case Cause::Other:
        break;
    }
    return {};
}

// What the operator can do about it.
QString advice(const StoreError& error)
{
    using Cause = StoreError::Cause;
    if (error.kind == StoreError::Kind::NoValue) {
        const QString row =
            error.card.isEmpty() ? WindowText::tr("a row") : WindowText::tr("the row of card %1").arg(error.card);
        return WindowText::tr("The field «%1» of %2 is empty without a mark; another program has changed it.")
            .arg(error.detail, row);
    }
    if (error.store == StoreError::Store::Server)
        return serverAdvice(error.cause);
    switch (error.cause) {
    case Cause::Locked:
    case Cause::Conflict:
        return WindowText::tr(
            "Another program (perhaps another till) is using the file. Wait a few seconds and try again.");
    case Cause::ReadOnly:
        return WindowText::tr(
            "The file or its folder is read-only: the members can be looked up, but no change can be saved.");
    case Cause::NeedsRepair:
        return WindowText::tr("An earlier save was cut short and must be undone, but the file or its folder is "
                              "read-only. Allow writing to the file and its folder and open the program again.");
    case Cause::Leftover:
        return WindowText::tr("Beside the file are unfinished changes of another file (the member file is missing or "
                              "was replaced by another). So as not to damage it, nothing was changed. Do not delete or "
                              "move those files: restore a backup with the program, or ask for help.");
    case Cause::UnsafeSchema:
        return WindowText::tr("The table «ficha» of that file is not a plain table of text (it is a view, it has "
                              "triggers, or fields that are not text). It was not changed.");
    case Cause::Restoring:
        return WindowText::tr(
            "A backup is being restored in the member file's place. Wait until it ends and try again.");
    case Cause::TooSlow:
        return WindowText::tr("The file took too long to answer and the operation was stopped. Nothing was saved.");
    case Cause::DiskFull:
        return WindowText::tr("The disk is full. Free some space and try again.");
    case Cause::NotMemberFile:
        return WindowText::tr(
            "That file is not a member file (the table «ficha» or one of its fields is missing). It was not changed.");
    case Cause::CannotOpen:
        return WindowText::tr("The file does not exist or cannot be read.");
    case Cause::Damaged:
        return WindowText::tr("The file is damaged. Restore the latest backup.");
    case Cause::ServerUnreachable: // a file has no server
    case Cause::ServerRefused:
    case Cause::CommitUnknown:
    case Cause::Other:
        break;
    }
    return {};
}

} // namespace

QString storeErrorTitle()
{
    return WindowText::tr("Member file error");
}

QString storeErrorTitle(const StoreError& error)
{
    return error.store == StoreError::Store::Server ? WindowText::tr("Member server error") : storeErrorTitle();
}

QString storeErrorMessage(const StoreError& error)
{
    QStringList parts = {whatFailed(error) + QLatin1Char('\n') + error.path};
    const QString hint = advice(error);
    if (!hint.isEmpty())
        parts << hint;
    return parts.join(QLatin1String("\n\n"));
}

QString storeErrorDetails(const StoreError& error)
{
    if (error.kind == StoreError::Kind::NoValue || error.detail.isEmpty())
        return {};
    return WindowText::tr("The database's message: ") + error.detail;
}
