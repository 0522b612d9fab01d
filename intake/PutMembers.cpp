#include "intake/PutMembers.h"

#include "intake/AccessFile.h"
#include "store/StoreFilling.h"

ImportError storeImportError(const QString& source, const StoreError& failure)
{
    return ImportError{ImportError::Kind::MemberFile, source, {}, failure};
}

ImportResult<void> filledWhole(const StoreResult<Filling>& filled, const QString& source, const QString& place)
{
    const auto refused = [&](ImportError::Kind kind, const QString& detail) {
        return ImportError{kind, source, detail, std::nullopt};
    };
    if (!filled)
        return storeImportError(source, filled.error());
    switch (filled->outcome) {
    case Filling::Outcome::Filled:
        break;
    case Filling::Outcome::HoldsMembers:
        return refused(ImportError::Kind::HoldsMembers,
                       filled->rows > 0 ? QStringLiteral("%1 holds %2 members").arg(place).arg(filled->rows)
                                        : place + QStringLiteral(" holds members"));
    case Filling::Outcome::MadeMeanwhile:
        return refused(ImportError::Kind::HoldsMembers,
                       place + QStringLiteral(" was made by another program meanwhile"));
    case Filling::Outcome::Miscounted:
        return refused(ImportError::Kind::Damaged, QStringLiteral("the new member file holds %1 rows, the source "
                                                                  "counts %2")
                                                       .arg(filled->rows)
                                                       .arg(filled->expected));
    }
    return {};
}

ImportResult<PutMembers> putMembers(const MemberStore::RecordProducer& produce, std::optional<qint64> expected,
                                    const QString& source, const StoreAddress& target)
{
    if (!target.isServer() && hasAccessHeader(target.path()))
        return ImportError{ImportError::Kind::AccessAtPath, source, target.path(), std::nullopt};
    CardCensus census;
    const StoreResult<Filling> filled = fillNewStore(target, census.noting(produce), expected);
    if (ImportResult<void> whole = filledWhole(filled, source, target.displayName()); !whole)
        return whole.error();
    return PutMembers{filled->rows, census.notes()};
}
