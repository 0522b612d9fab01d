#include "window/Messages.h"

#include <QStringList>

namespace {

QString whatFailed(StoreError::Kind kind)
{
    switch (kind) {
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
    switch (error.cause) {
    case Cause::Locked:
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

QString storeErrorMessage(const StoreError& error)
{
    QStringList parts = {whatFailed(error.kind) + QLatin1Char('\n') + error.path};
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
