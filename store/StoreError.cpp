#include "store/StoreError.h"

QString StoreError::toString() const
{
    static const char* const kinds[] = {"cannot open", "cannot create", "cannot read", "no value in field",
                                        "cannot write"};
    return QStringLiteral("%1 %2: %3").arg(QLatin1String(kinds[int(kind)]), path, detail);
}
