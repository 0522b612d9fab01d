#include "translations/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

const QString kFolder = QStringLiteral(":/translations");
const QString kName = QStringLiteral("socios");

} // namespace

QString translationFile(const QString& language)
{
    return kFolder + QLatin1Char('/') + kName + QLatin1Char('_') + language + QStringLiteral(".qm");
}

bool installTranslations(const QLocale& locale)
{
    auto* ours = new QTranslator(QCoreApplication::instance());
    if (!ours->load(locale, kName, QStringLiteral("_"), kFolder)) {
        delete ours;
        return true; // English
    }
    auto* qt = new QTranslator(QCoreApplication::instance());
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QString qtName = QStringLiteral("qtbase_") + ours->language();
    const bool qtLoaded = qt->load(qtName, folder);
    if (qtLoaded)
        QCoreApplication::installTranslator(qt);
    else
        qWarning("socios: Qt's translations (%s) are not in %s; Qt's own texts stay in English", qUtf8Printable(qtName),
                 qUtf8Printable(folder));
    // Installed last, so asked first: where socios words one of Qt's sentences its own way, its wording is used.
    QCoreApplication::installTranslator(ours);
    if (!qtLoaded)
        delete qt;
    return qtLoaded;
}
