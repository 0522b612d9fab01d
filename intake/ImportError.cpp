#include "intake/ImportError.h"

QString ImportError::toString() const
{
    static const char* const kinds[] = {
        "not an Access file",
        "cannot read",
        "damaged Access file",
        "no table ficha in",
        "table ficha lacks a field in",
        "a value cannot be stored as text in",
        "the member file holds members already; not importing",
        "the member file's place holds another Access file; not importing",
        "the member file cannot be used; not importing",
        "the original cannot be kept; not importing",
        "changed while it was being imported:",
        "the new member file cannot be moved into place; not importing",
        "the Access reader cannot be started to read",
        "Access file cut short",
    };
    QString text = QStringLiteral("%1 %2").arg(QLatin1String(kinds[int(kind)]), file);
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + detail;
    if (store)
        text += QStringLiteral(" (") + store->toString() + QLatin1Char(')');
    return text;
}
