#include "app/AccessUpgrade.h"

#include "app/Messages.h"
#include "app/WindowText.h"
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

QString title()
{
    return WindowText::tr("The earlier program's member file");
}

QString members(qint64 count)
{
    return count == 1 ? WindowText::tr("1 member") : WindowText::tr("%1 members").arg(count);
}

QString whatFailed(const ImportError& error)
{
    using Kind = ImportError::Kind;
    switch (error.kind) {
    case Kind::NotAccess:
        return WindowText::tr("The file is not an Access file.");
    case Kind::Unreadable:
        return WindowText::tr("The file cannot be read whole.");
    case Kind::Damaged:
        return WindowText::tr("The file is damaged: not all of its members can be read.");
    case Kind::CutShort:
        return WindowText::tr("The file is incomplete: a part of it is missing, perhaps because it was copied only in "
                              "part. Not all of its members can be read.");
    case Kind::NoTable:
        return WindowText::tr("The file has no table «ficha».");
    case Kind::MissingField:
        return WindowText::tr("The table «ficha» lacks the field «%1».").arg(error.detail);
    case Kind::BadValue:
        return WindowText::tr("The table «ficha» holds a value that cannot be stored as text.");
    case Kind::HoldsMembers:
    case Kind::AccessAtPath:
        return WindowText::tr("Another member file is in its place already.");
    case Kind::MemberFile:
        return WindowText::tr("The new member file cannot be created.");
    case Kind::KeepOriginal:
        return WindowText::tr("The copy of the original file cannot be kept in the same folder.");
    case Kind::Changed:
        return WindowText::tr("Another program changed the file while it was being imported.");
    case Kind::Replace:
        return WindowText::tr("The new member file cannot be put in its place.");
    case Kind::NoReader:
        return WindowText::tr(
            "The program that reads Access files (socios-mdb-reader) is missing; install socios again.");
    }
    return {};
}

QString failureMessage(const QString& path, const ImportError& error)
{
    QStringList parts = {WindowText::tr("The members of the earlier program's file could not be imported:\n") + path,
                         whatFailed(error),
                         WindowText::tr("Nothing was changed: the original file is still in its place, as it was.")};
    if (error.store)
        parts << storeErrorMessage(*error.store);
    else if (!error.detail.isEmpty())
        parts << WindowText::tr("Detail: ") + error.detail;
    return parts.join(QLatin1String("\n\n"));
}

// At most this many card numbers are named in the text of the summary; its details name every one, one a line.
constexpr qsizetype kNamedInText = 10;

QString named(const QStringList& cards)
{
    if (cards.size() <= kNamedInText)
        return cards.join(QLatin1String(", "));
    return WindowText::tr("%1 and %2 more (all of them in the details)")
        .arg(cards.first(kNamedInText).join(QLatin1String(", ")))
        .arg(cards.size() - kNamedInText);
}

QString rows(qint64 count)
{
    return WindowText::tr("%1 rows").arg(count);
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
            typed << WindowText::tr("%1 (the till reads %2)").arg(card, CardNotes::tillReads(card));
        wording.paragraphs << (cards.tooLong.size() == 1
                                   ? WindowText::tr("The card number %1 has more than %2 characters, and the till "
                                                    "reads only the first %2: it cannot open that member.")
                                         .arg(cards.tooLong.first())
                                         .arg(keeps)
                                   : WindowText::tr("%1 card numbers have more than %2 characters, and the till reads "
                                                    "only the first %2: it cannot open those members. They are: %3.")
                                         .arg(cards.tooLong.size())
                                         .arg(keeps)
                                         .arg(named(cards.tooLong)));
        lines << WindowText::tr("Card numbers with more than %1 characters:").arg(keeps) << typed;
    }
    if (!cards.shared.isEmpty()) {
        QStringList shared;
        for (const CardNotes::Shared& card : cards.shared)
            shared << QStringLiteral("%1 (%2)").arg(card.card, rows(card.rows));
        wording.paragraphs << (cards.shared.size() == 1
                                   ? WindowText::tr("The card number %1 is in %2.")
                                         .arg(cards.shared.first().card, rows(cards.shared.first().rows))
                                   : WindowText::tr("%1 card numbers are in more than one row: %2.")
                                         .arg(cards.shared.size())
                                         .arg(named(shared)));
        if (!lines.isEmpty())
            lines << QString();
        lines << WindowText::tr("Card numbers that are in more than one row:") << shared;
    }
    wording.details = lines.join(QLatin1Char('\n'));
    return wording;
}

QString summaryMessage(const ImportSummary& summary)
{
    QStringList parts = {WindowText::tr("%1 imported from the earlier program's file.").arg(members(summary.members))};
    if (summary.emptyMarks == 0)
        parts << WindowText::tr("There were no fields without a value.");
    else
        parts << (summary.emptyMarks == 1
                      ? WindowText::tr("1 field without a value was stored as «%1».").arg(kEmptyMark)
                      : WindowText::tr("%1 fields without a value were stored as «%2».")
                            .arg(QString::number(summary.emptyMarks), kEmptyMark));
    if (!summary.converted.isEmpty())
        parts << WindowText::tr("The fields that were not text were made text: %1.")
                     .arg(summary.converted.join(QLatin1String(", ")));
    parts << cardsWording(summary.cards).paragraphs;
    parts << WindowText::tr("The original file is kept unchanged as:\n") + summary.keptOriginal;
    return parts.join(QLatin1String("\n\n"));
}

QString accessUpgradeQuestion(const QString& path, qint64 count, const QString& keptAs)
{
    return WindowText::tr(
               "The member file\n%1\nis the earlier program's (Access) and holds %2.\n\nImport the members into the "
               "new member file? The original file will be kept unchanged in the same folder under the name «%3».")
        .arg(path, members(count), QFileInfo(keptAs).fileName());
}

// The import's progress window. It moves and repaints while the import runs on a thread of its own, and cannot be
// closed: an import is never stopped halfway (it is all or nothing, and ends within the reader's time limit).
class ImportProgress : public QProgressDialog
{
public:
    explicit ImportProgress(qint64 count) : QProgressDialog(WindowText::tr("Reading the members…"), QString(), 0, 0)
    {
        setObjectName(QStringLiteral("accessImportProgress"));
        setWindowTitle(title());
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
        const QString label =
            writing ? WindowText::tr("Saving the members in the new file…") : WindowText::tr("Reading the members…");
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
    QMessageBox box(QMessageBox::Critical, title(), failureMessage(path, error), QMessageBox::Ok);
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

    QMessageBox question(QMessageBox::Question, title(), accessUpgradeQuestion(path, *count, keptOriginalPath(path)));
    question.setObjectName(QStringLiteral("accessImportQuestion"));
    QPushButton* importButton = question.addButton(WindowText::tr("Import"), QMessageBox::AcceptRole);
    question.addButton(WindowText::tr("Quit"), QMessageBox::RejectRole);
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
        QMessageBox box(cards.paragraphs.isEmpty() ? QMessageBox::Information : QMessageBox::Warning, title(),
                        summaryMessage(summary), QMessageBox::Ok, QApplication::activeWindow());
        box.setObjectName(QStringLiteral("accessImportSummary"));
        box.setDetailedText(cards.details);
        box.exec();
    });
    return std::nullopt;
}
