#include "operations/CardEntry.h"

#include "conversions/Characters.h"

QString CardEntry::normalise(const QString& entry)
{
    const QString kept =
        leftChars(entry, 1) == QStringLiteral("ñ") ? midChars(entry, 2, kKeptChars) : leftChars(entry, kKeptChars);
    return leftChars(kept, kKeptChars);
}
