#include "app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installSpanishTranslations()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_es"), folder)) {
        qWarning("socios: Qt's Spanish translations (qtbase_es) are not in %s; Qt's own texts stay in English",
                 qUtf8Printable(folder));
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
