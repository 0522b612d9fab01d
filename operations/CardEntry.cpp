#include "operations/CardEntry.h"

#include "conversions/Characters.h"

QString CardEntry::normalise(const QString& entry)
{
    const QString kept = leftChars(entry, 1) == QStringLiteral("ñ") ? midChars(entry, 2, 7) : leftChars(entry, 7);
    return leftChars(kept, 7);
}
