#include "app/MessageBoxSink.h"

#include "app/Messages.h"

#include <QMessageBox>

void MessageBoxSink::storeFailure(const StoreError& error)
{
    QMessageBox box(QMessageBox::Critical, storeErrorTitle(error), storeErrorMessage(error), QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("storeFailure"));
    // The engine speaks English: its words are there for whoever looks further, not in the operator's way.
    box.setDetailedText(storeErrorDetails(error));
    box.exec();
}

void MessageBoxSink::notice(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Socios"), text, QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("notice"));
    box.exec();
}
