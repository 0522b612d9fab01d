#include "app/Messages.h"

#include "store/StoreAddress.h"

#include <QStringList>

namespace {

QString whatFailed(const StoreError& error)
{
    if (!StoreAddress::namesServer(error.path)) {
        switch (error.kind) {
        case StoreError::Kind::Open:
            return QStringLiteral("No se puede abrir el archivo de socios:");
        case StoreError::Kind::Create:
            return QStringLiteral("No se puede crear el archivo de socios:");
        case StoreError::Kind::Read:
            return QStringLiteral("No se pueden leer los socios del archivo:");
        case StoreError::Kind::NoValue:
            return QStringLiteral("El archivo de socios tiene una ficha con un campo sin valor:");
        case StoreError::Kind::Write:
            return QStringLiteral("No se ha guardado el cambio; no se ha escrito nada en el archivo de socios:");
        }
        return {};
    }
    switch (error.kind) {
    case StoreError::Kind::Open:
        return QStringLiteral("No se puede usar el servidor de socios:");
    case StoreError::Kind::Create:
        return QStringLiteral("No se pueden crear las tablas de socios en el servidor:");
    case StoreError::Kind::Read:
        return QStringLiteral("No se pueden leer los socios del servidor:");
    case StoreError::Kind::NoValue:
        return QStringLiteral("El servidor de socios tiene una ficha con un campo sin valor:");
    case StoreError::Kind::Write:
        if (error.cause == StoreError::Cause::CommitUnknown)
            return QStringLiteral(
                "Se ha perdido la conexión con el servidor de socios mientras se guardaba el cambio:");
        return QStringLiteral("No se ha guardado el cambio; no se ha escrito nada en el servidor de socios:");
    }
    return {};
}

// What the operator can do about a failure of the server.
QString serverAdvice(StoreError::Cause cause)
{
    using Cause = StoreError::Cause;
    switch (cause) {
    case Cause::ServerUnreachable:
        return QStringLiteral("No hay conexión con el servidor: puede estar apagado o reiniciándose, o haberse cortado "
                              "la red. Compruebe la red e inténtelo de nuevo; el programa vuelve a conectarse solo.");
    case Cause::ServerRefused:
        return QStringLiteral("El servidor no acepta la conexión. Revise el usuario, la contraseña (en el archivo "
                              ".pgpass) y el nombre de la base de datos, o avise a quien administra el servidor.");
    case Cause::CommitUnknown:
        return QStringLiteral("Puede que el cambio se haya guardado o no. Antes de repetirlo, consulte la ficha del "
                              "socio para no guardarlo dos veces.");
    case Cause::Conflict:
    case Cause::Locked:
        return QStringLiteral("Otra caja está guardando los mismos datos. Espere unos segundos e inténtelo de nuevo.");
    case Cause::ReadOnly:
        return QStringLiteral("El servidor solo permite consultar los socios, no guardar cambios (un servidor de "
                              "solo lectura, o un usuario sin permiso para escribir). Avise a quien administra el "
                              "servidor.");
    case Cause::UnsafeSchema:
        return QStringLiteral("La tabla «ficha» de esa base de datos no es una tabla de texto corriente (es una vista, "
                              "tiene disparadores o reglas, o campos que no son de texto). No se ha modificado.");
    case Cause::TooSlow:
        return QStringLiteral("El servidor ha tardado demasiado en responder y se ha detenido la operación. No se ha "
                              "guardado nada.");
    case Cause::DiskFull:
        return QStringLiteral("El disco del servidor está lleno. Avise a quien administra el servidor.");
    case Cause::NotMemberFile:
        return QStringLiteral("Esa base de datos no es la de socios (falta la tabla «ficha» o alguno de sus campos). "
                              "No se ha modificado.");
    case Cause::CannotOpen:
        return QStringLiteral("La base de datos no existe o no se puede abrir.");
    case Cause::Damaged:
        return QStringLiteral("El servidor informa de datos dañados. Avise a quien administra el servidor.");
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
        const QString row = error.card.isEmpty() ? QStringLiteral("una ficha")
                                                 : QStringLiteral("la ficha de la tarjeta %1").arg(error.card);
        return QStringLiteral("El campo «%1» de %2 está vacío sin marca; otro programa lo ha modificado.")
            .arg(error.detail, row);
    }
    if (StoreAddress::namesServer(error.path))
        return serverAdvice(error.cause);
    switch (error.cause) {
    case Cause::Locked:
    case Cause::Conflict:
        return QStringLiteral("Otro programa (quizá otra caja) está usando el archivo. Espere unos segundos e "
                              "inténtelo de nuevo.");
    case Cause::ReadOnly:
        return QStringLiteral("El archivo o su carpeta son de solo lectura: se pueden consultar los socios, pero no "
                              "guardar cambios.");
    case Cause::NeedsRepair:
        return QStringLiteral("Un guardado anterior quedó a medias y hay que deshacerlo, pero el archivo o su carpeta "
                              "son de solo lectura. Dé permiso de escritura al archivo y a su carpeta y vuelva a abrir "
                              "el programa.");
    case Cause::Leftover:
        return QStringLiteral(
            "Junto al archivo hay cambios sin terminar de otro archivo (falta el archivo de socios o "
            "lo han sustituido por otro). Para no dañarlo no se ha modificado nada. No borre ni mueva "
            "esos archivos: recupere una copia de seguridad con el programa o pida ayuda.");
    case Cause::UnsafeSchema:
        return QStringLiteral("La tabla «ficha» de ese archivo no es una tabla de texto corriente (es una vista, tiene "
                              "disparadores o campos que no son de texto). No se ha modificado.");
    case Cause::Restoring:
        return QStringLiteral("Se está restaurando una copia de seguridad en el lugar del archivo de socios. Espere a "
                              "que termine e inténtelo de nuevo.");
    case Cause::TooSlow:
        return QStringLiteral("El archivo ha tardado demasiado en responder y se ha detenido la operación. No se ha "
                              "guardado nada.");
    case Cause::DiskFull:
        return QStringLiteral("El disco está lleno. Libere espacio e inténtelo de nuevo.");
    case Cause::NotMemberFile:
        return QStringLiteral("Ese archivo no es un archivo de socios (falta la tabla «ficha» o alguno de sus "
                              "campos). No se ha modificado.");
    case Cause::CannotOpen:
        return QStringLiteral("El archivo no existe o no se puede leer.");
    case Cause::Damaged:
        return QStringLiteral("El archivo está dañado. Recupere la última copia de seguridad.");
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
    return QStringLiteral("Error en el archivo de socios");
}

QString storeErrorTitle(const StoreError& error)
{
    return StoreAddress::namesServer(error.path) ? QStringLiteral("Error en el servidor de socios") : storeErrorTitle();
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
    return QStringLiteral("Mensaje de la base de datos: ") + error.detail;
}
