#include "app/MessageBoxSink.h"

#include "app/Messages.h"

#include <QLoggingCategory>
#include <QMessageBox>
#include <QTimer>

// Each message as it appears on screen, for whoever watches the program run
// (QT_LOGGING_RULES=socios.messages.info=true).
Q_LOGGING_CATEGORY(lcMessages, "socios.messages", QtWarningMsg)

namespace {

void show(QMessageBox& box)
{
    // Logged from the box's own event loop, once it is on screen.
    QTimer::singleShot(0, &box, [&box] {
        qCInfo(lcMessages, "%s shown: %s", qUtf8Printable(box.objectName()), qUtf8Printable(box.text()));
    });
    box.exec();
}

} // namespace

void MessageBoxSink::storeFailure(const StoreError& error)
{
    QMessageBox box(QMessageBox::Critical, storeErrorTitle(error), storeErrorMessage(error), QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("storeFailure"));
    // The engine speaks English: its words are there for whoever looks further, not in the operator's way.
    box.setDetailedText(storeErrorDetails(error));
    show(box);
}

void MessageBoxSink::notice(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Socios"), text, QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("notice"));
    show(box);
}
