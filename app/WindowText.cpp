#include "app/WindowText.h"

#include "translations/Translations.h"

#include <QTranslator>

QString WindowText::tr(const char* sentence)
{
    static const QTranslator* const spanish = [] {
        auto* translator = new QTranslator;
        if (!translator->load(translationFile(QStringLiteral("es"))))
            qWarning("socios: the Spanish translation is missing; the window speaks English");
        return translator;
    }();
    const QString translated = spanish->translate("WindowText", sentence);
    return translated.isEmpty() ? QString::fromUtf8(sentence) : translated;
}
