#include "cli/ErrorText.h"

#include "cli/CommandLineText.h"

QString errorText(const StoreError& error)
{
    switch (error.kind) {
    case StoreError::Kind::Open:
        return CommandLineText::tr("cannot open %1: %2").arg(error.path, error.detail);
    case StoreError::Kind::Create:
        return CommandLineText::tr("cannot create %1: %2").arg(error.path, error.detail);
    case StoreError::Kind::Read:
        break;
    case StoreError::Kind::NoValue:
        return CommandLineText::tr("no value in field %1: %2").arg(error.path, error.detail);
    case StoreError::Kind::Write:
        return CommandLineText::tr("cannot write %1: %2").arg(error.path, error.detail);
    }
    return CommandLineText::tr("cannot read %1: %2").arg(error.path, error.detail);
}

QString errorText(const ImportError& error)
{
    using Kind = ImportError::Kind;
    QString text;
    switch (error.kind) {
    case Kind::NotAccess:
        text = CommandLineText::tr("not an Access file %1").arg(error.file);
        break;
    case Kind::Unreadable:
        text = CommandLineText::tr("cannot read %1").arg(error.file);
        break;
    case Kind::Damaged:
        text = CommandLineText::tr("damaged Access file %1").arg(error.file);
        break;
    case Kind::NoTable:
        text = CommandLineText::tr("no table ficha in %1").arg(error.file);
        break;
    case Kind::MissingField:
        text = CommandLineText::tr("table ficha lacks a field in %1").arg(error.file);
        break;
    case Kind::BadValue:
        text = CommandLineText::tr("a value cannot be stored as text in %1").arg(error.file);
        break;
    case Kind::HoldsMembers:
        text = CommandLineText::tr("the member file holds members already; not importing %1").arg(error.file);
        break;
    case Kind::AccessAtPath:
        text =
            CommandLineText::tr("the member file's place holds another Access file; not importing %1").arg(error.file);
        break;
    case Kind::MemberFile:
        text = CommandLineText::tr("the member file cannot be used; not importing %1").arg(error.file);
        break;
    case Kind::KeepOriginal:
        text = CommandLineText::tr("the original cannot be kept; not importing %1").arg(error.file);
        break;
    case Kind::Changed:
        text = CommandLineText::tr("changed while it was being imported: %1").arg(error.file);
        break;
    case Kind::Replace:
        text = CommandLineText::tr("the new member file cannot be moved into place; not importing %1").arg(error.file);
        break;
    case Kind::NoReader:
        text = CommandLineText::tr("the Access reader cannot be started to read %1").arg(error.file);
        break;
    case Kind::CutShort:
        text = CommandLineText::tr("Access file cut short %1").arg(error.file);
        break;
    }
    if (!error.detail.isEmpty())
        text += QStringLiteral(": ") + error.detail;
    if (error.store)
        text += QStringLiteral(" (") + errorText(*error.store) + QLatin1Char(')');
    return text;
}
