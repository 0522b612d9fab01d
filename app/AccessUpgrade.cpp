#include "app/AccessUpgrade.h"

#include "app/Messages.h"
#include "cli/CommandLine.h"
#include "cli/ImportAccessCommand.h"
#include "import/MemberImport.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

namespace {

const QString kTitle = QStringLiteral("Archivo de socios del programa anterior");

QString members(qint64 count)
{
    return count == 1 ? QStringLiteral("1 socio") : QStringLiteral("%1 socios").arg(count);
}

QString whatFailed(const ImportError& error)
{
    using Kind = ImportError::Kind;
    switch (error.kind) {
    case Kind::NotAccess:
        return QStringLiteral("El archivo no es un archivo de Access.");
    case Kind::Unreadable:
        return QStringLiteral("El archivo no se puede leer entero.");
    case Kind::Damaged:
        return QStringLiteral("El archivo está dañado: no se pueden leer todos sus socios.");
    case Kind::CutShort:
        return QStringLiteral("El archivo está incompleto: le falta una parte, quizá porque se copió a medias. No "
                              "se pueden leer todos sus socios.");
    case Kind::NoTable:
        return QStringLiteral("El archivo no tiene la tabla «ficha».");
    case Kind::MissingField:
        return QStringLiteral("A la tabla «ficha» le falta el campo «%1».").arg(error.detail);
    case Kind::BadValue:
        return QStringLiteral("La tabla «ficha» tiene un valor que no se puede guardar como texto.");
    case Kind::HoldsMembers:
    case Kind::AccessAtPath:
        return QStringLiteral("Ya hay otro archivo de socios en su sitio.");
    case Kind::MemberFile:
        return QStringLiteral("No se puede crear el nuevo archivo de socios.");
    case Kind::KeepOriginal:
        return QStringLiteral("No se puede guardar la copia del archivo original en la misma carpeta.");
    case Kind::Changed:
        return QStringLiteral("Otro programa ha cambiado el archivo mientras se importaba.");
    case Kind::Replace:
        return QStringLiteral("No se puede poner el nuevo archivo de socios en su sitio.");
    case Kind::NoReader:
        return QStringLiteral("Falta el programa que lee los archivos de Access (socios-mdb-reader); vuelva a "
                              "instalar socios.");
    }
    return {};
}

QString failureMessage(const QString& path, const ImportError& error)
{
    QStringList parts = {QStringLiteral("No se han podido importar los socios del archivo del programa anterior:\n") +
                             path,
                         whatFailed(error),
                         QStringLiteral("No se ha cambiado nada: el archivo original sigue en su sitio, tal como "
                                        "estaba.")};
    if (error.store)
        parts << storeErrorMessage(*error.store);
    else if (!error.detail.isEmpty())
        parts << QStringLiteral("Detalle: ") + error.detail;
    return parts.join(QLatin1String("\n\n"));
}

QString summaryMessage(const ImportSummary& summary)
{
    QStringList parts = {
        QStringLiteral("Se han importado %1 del archivo del programa anterior.").arg(members(summary.members))};
    if (summary.emptyMarks == 0)
        parts << QStringLiteral("No había campos sin valor.");
    else
        parts << QStringLiteral("%1 sin valor se %2 guardado como «%3».")
                     .arg(summary.emptyMarks == 1 ? QStringLiteral("1 campo")
                                                  : QStringLiteral("%1 campos").arg(summary.emptyMarks),
                          summary.emptyMarks == 1 ? QStringLiteral("ha") : QStringLiteral("han"), kEmptyMark);
    if (!summary.converted.isEmpty())
        parts << QStringLiteral("Se han pasado a texto los campos que no lo eran: %1.")
                     .arg(summary.converted.join(QLatin1String(", ")));
    parts << QStringLiteral("El archivo original se conserva sin cambios como:\n") + summary.keptOriginal;
    return parts.join(QLatin1String("\n\n"));
}

QString accessUpgradeQuestion(const QString& path, qint64 count, const QString& keptAs)
{
    return QStringLiteral("El archivo de socios\n%1\nes el del programa anterior (Access) y tiene %2.\n\n"
                          "¿Importar los socios al nuevo archivo de socios? El archivo original se conservará sin "
                          "cambios en la misma carpeta con el nombre «%3».")
        .arg(path, members(count), QFileInfo(keptAs).fileName());
}

void showFailure(const QString& path, const ImportError& error)
{
    qWarning("socios: %s", qUtf8Printable(error.toString()));
    QMessageBox box(QMessageBox::Critical, kTitle, failureMessage(path, error), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("accessImportFailure"));
    box.exec();
}

} // namespace

std::optional<int> offerAccessUpgrade(const QString& path)
{
    if (!hasAccessHeader(path))
        return std::nullopt;
    const AccessReader reader;
    const ImportResult<qint64> count = countAccessMembers(reader, path);
    if (!count) {
        showFailure(path, count.error());
        return exitCodeFor(count.error());
    }

    QMessageBox question(QMessageBox::Question, kTitle, accessUpgradeQuestion(path, *count, keptOriginalPath(path)));
    question.setObjectName(QStringLiteral("accessImportQuestion"));
    QPushButton* importButton = question.addButton(QStringLiteral("Importar"), QMessageBox::AcceptRole);
    question.addButton(QStringLiteral("Salir"), QMessageBox::RejectRole);
    question.setDefaultButton(importButton);
    question.exec();
    if (question.clickedButton() != importButton) // "Salir", or the question closed
        return kExitDeclined;

    QProgressDialog progress(QStringLiteral("Importando los socios…"), QString(), 0,
                             int(qMin<qint64>(*count, 1 << 30)));
    progress.setObjectName(QStringLiteral("accessImportProgress"));
    progress.setWindowTitle(kTitle);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    const ImportResult<ImportSummary> result =
        replaceAccessMemberFile(reader, path, [&progress](qint64 read, qint64 counted) {
            progress.setMaximum(int(qMin<qint64>(counted, 1 << 30)));
            progress.setValue(int(qMin<qint64>(read, 1 << 30)));
        });
    progress.close();
    if (!result) {
        showFailure(path, result.error());
        return exitCodeFor(result.error());
    }
    // Said once the window shows, over it.
    QTimer::singleShot(0, [text = summaryMessage(*result)] {
        QMessageBox box(QMessageBox::Information, kTitle, text, QMessageBox::Ok, QApplication::activeWindow());
        box.setObjectName(QStringLiteral("accessImportSummary"));
        box.exec();
    });
    return std::nullopt;
}
