#include "app/Language.h"

#include "translations/Translations.h"

bool installSpanishTranslations()
{
    return installTranslations(QLocale(QLocale::Spanish, QLocale::Spain));
}
