#include "app/AccessUpgrade.h"

#include "app/Messages.h"
#include "import/MemberImport.h"
#include "import/WorkerThread.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <atomic>

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

// At most this many card numbers are named in the text of the summary; its details name every one, one a line.
constexpr qsizetype kNamedInText = 10;

QString named(const QStringList& cards)
{
    if (cards.size() <= kNamedInText)
        return cards.join(QLatin1String(", "));
    return QStringLiteral("%1 y %2 más (todos en los detalles)")
        .arg(cards.first(kNamedInText).join(QLatin1String(", ")))
        .arg(cards.size() - kNamedInText);
}

QString rows(qint64 count)
{
    return QStringLiteral("%1 fichas").arg(count);
}

// What the summary says of the card numbers that the till cannot reach: paragraphs for its text, and every number
// for its details.
struct CardsWording
{
    QStringList paragraphs;
    QString details;
};

CardsWording cardsWording(const CardNotes& cards)
{
    CardsWording wording;
    const qsizetype keeps = CardNotes::promptKeeps();
    QStringList lines;
    if (!cards.tooLong.isEmpty()) {
        QStringList typed;
        for (const QString& card : cards.tooLong)
            typed << QStringLiteral("%1 (la caja lee %2)").arg(card, CardNotes::tillReads(card));
        wording.paragraphs
            << (cards.tooLong.size() == 1
                    ? QStringLiteral("El número de tarjeta %1 tiene más de %2 caracteres, y la caja solo lee los %2 "
                                     "primeros: no puede abrir a ese socio.")
                          .arg(cards.tooLong.first())
                          .arg(keeps)
                    : QStringLiteral("%1 números de tarjeta tienen más de %2 caracteres, y la caja solo lee los %2 "
                                     "primeros: no puede abrir a esos socios. Son: %3.")
                          .arg(cards.tooLong.size())
                          .arg(keeps)
                          .arg(named(cards.tooLong)));
        lines << QStringLiteral("Números de tarjeta con más de %1 caracteres:").arg(keeps) << typed;
    }
    if (!cards.shared.isEmpty()) {
        QStringList shared;
        for (const CardNotes::Shared& card : cards.shared)
            shared << QStringLiteral("%1 (%2)").arg(card.card, rows(card.rows));
        wording.paragraphs << (cards.shared.size() == 1
                                   ? QStringLiteral("El número de tarjeta %1 está en %2.")
                                         .arg(cards.shared.first().card, rows(cards.shared.first().rows))
                                   : QStringLiteral("%1 números de tarjeta están en más de una ficha: %2.")
                                         .arg(cards.shared.size())
                                         .arg(named(shared)));
        if (!lines.isEmpty())
            lines << QString();
        lines << QStringLiteral("Números de tarjeta que están en más de una ficha:") << shared;
    }
    wording.details = lines.join(QLatin1Char('\n'));
    return wording;
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
    parts << cardsWording(summary.cards).paragraphs;
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

// The import's progress window. It moves and repaints while the import runs on a thread of its own, and cannot be
// closed: an import is never stopped halfway (it is all or nothing, and ends within the reader's time limit).
class ImportProgress : public QProgressDialog
{
public:
    explicit ImportProgress(qint64 count) : QProgressDialog(QStringLiteral("Leyendo los socios…"), QString(), 0, 0)
    {
        setObjectName(QStringLiteral("accessImportProgress"));
        setWindowTitle(kTitle);
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint); // no close button
        setWindowModality(Qt::ApplicationModal);
        setAutoReset(false);
        setAutoClose(false);
        setMinimumDuration(0);
        showRows(0, count);
    }

    // Reading: rows read of those counted. Once all are read, the new member file is written, as one transaction
    // whose progress cannot be told: a busy bar.
    void showRows(qint64 read, qint64 counted)
    {
        const bool writing = read >= counted;
        const QString label = writing ? QStringLiteral("Guardando los socios en el nuevo archivo…")
                                      : QStringLiteral("Leyendo los socios…");
        if (labelText() != label)
            setLabelText(label);
        setRange(0, writing ? 0 : int(qMin<qint64>(counted, 1 << 30)));
        if (!writing)
            setValue(int(qMin<qint64>(read, 1 << 30)));
    }

    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

void showFailure(const QString& path, const ImportError& error)
{
    qWarning("socios: %s", qUtf8Printable(error.toString()));
    QMessageBox box(QMessageBox::Critical, kTitle, failureMessage(path, error), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("accessImportFailure"));
    box.exec();
}

} // namespace

std::optional<AccessUpgradeStop> offerAccessUpgrade(const QString& path)
{
    if (!hasAccessHeader(path))
        return std::nullopt;
    // Reading and writing run on a thread of their own, so that the window's thread keeps turning its event loop.
    const ImportResult<qint64> count = runOnWorkerThread([&] { return countAccessMembers(AccessReader(), path); });
    if (!count) {
        showFailure(path, count.error());
        return AccessUpgradeStop{count.error()};
    }

    QMessageBox question(QMessageBox::Question, kTitle, accessUpgradeQuestion(path, *count, keptOriginalPath(path)));
    question.setObjectName(QStringLiteral("accessImportQuestion"));
    QPushButton* importButton = question.addButton(QStringLiteral("Importar"), QMessageBox::AcceptRole);
    question.addButton(QStringLiteral("Salir"), QMessageBox::RejectRole);
    question.setDefaultButton(importButton);
    question.exec();
    if (question.clickedButton() != importButton) // "Salir", or the question closed
        return AccessUpgradeStop{};

    ImportProgress progress(*count);
    progress.show();
    std::atomic<qint64> rowsRead = 0;
    std::atomic<qint64> rowsCounted = *count;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, &progress, [&] { progress.showRows(rowsRead, rowsCounted); });
    ticks.start(50);
    const ImportResult<ImportSummary> result = runOnWorkerThread([&] {
        return replaceAccessMemberFile(AccessReader(), path, [&](qint64 read, qint64 counted) {
            rowsRead = read;
            rowsCounted = counted;
        });
    });
    ticks.stop();
    progress.hide();
    if (!result) {
        showFailure(path, result.error());
        return AccessUpgradeStop{result.error()};
    }
    // Said once the window shows, over it.
    QTimer::singleShot(0, [summary = *result] {
        const CardsWording cards = cardsWording(summary.cards);
        QMessageBox box(cards.paragraphs.isEmpty() ? QMessageBox::Information : QMessageBox::Warning, kTitle,
                        summaryMessage(summary), QMessageBox::Ok, QApplication::activeWindow());
        box.setObjectName(QStringLiteral("accessImportSummary"));
        box.setDetailedText(cards.details);
        box.exec();
    });
    return std::nullopt;
}
