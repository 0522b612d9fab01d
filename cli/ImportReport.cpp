#include "cli/ImportReport.h"

#include "cli/CommandLine.h"
#include "cli/CommandLineText.h"

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

void writeCardNotes(QTextStream& out, const CardNotes& cards)
{
    if (!cards.tooLong.isEmpty()) {
        out << "socios: "
            << (cards.tooLong.size() == 1
                    ? CommandLineText::tr("1 imported card number is longer than the %1 characters that the till's "
                                          "prompt keeps; the till cannot open the members holding them:")
                          .arg(CardNotes::promptKeeps())
                    : CommandLineText::tr("%1 imported card numbers are longer than the %2 characters that the "
                                          "till's prompt keeps; the till cannot open the members holding them:")
                          .arg(QString::number(cards.tooLong.size()), QString::number(CardNotes::promptKeeps())))
            << '\n';
        for (const QString& card : cards.tooLong)
            out << "  " << CommandLineText::tr("%1 (the till reads %2)").arg(card, CardNotes::tillReads(card)) << '\n';
    }
    if (!cards.shared.isEmpty()) {
        out << "socios: "
            << (cards.shared.size() == 1 ? CommandLineText::tr("1 imported card number is held by more than one row:")
                                         : CommandLineText::tr("%1 imported card numbers are held by more than one "
                                                               "row:")
                                               .arg(cards.shared.size()))
            << '\n';
        for (const CardNotes::Shared& shared : cards.shared)
            out << "  " << CommandLineText::tr("%1 (%2 rows)").arg(shared.card, QString::number(shared.rows)) << '\n';
    }
}
