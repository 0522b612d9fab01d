#include "window/Messages.h"

QString storeErrorTitle()
{
    return QStringLiteral("Error en el archivo de socios");
}

QString storeErrorMessage(const StoreError& error)
{
    QString what;
    switch (error.kind) {
    case StoreError::Kind::Open:
        what = QStringLiteral("No se puede abrir el archivo de socios:");
        break;
    case StoreError::Kind::Create:
        what = QStringLiteral("No se puede crear el archivo de socios:");
        break;
    case StoreError::Kind::Read:
        what = QStringLiteral("No se pueden leer los socios del archivo:");
        break;
    case StoreError::Kind::NoValue:
        return QStringLiteral("El archivo de socios tiene una ficha con el campo «%1» sin valor:\n%2")
            .arg(error.detail, error.path);
    case StoreError::Kind::Write:
        what = QStringLiteral("No se ha podido guardar en el archivo de socios; no se ha escrito nada:");
        break;
    }
    return QStringLiteral("%1\n%2\n\nMensaje de la base de datos: %3").arg(what, error.path, error.detail);
}
