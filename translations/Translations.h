#pragma once

#include <QLocale>

// Installs the translation of socios's sentences into the first language of `locale` that socios has (its
// languages in their order of preference, as the system gives them: LANGUAGE, LC_ALL, LC_MESSAGES, LANG), with Qt's
// own texts (standard buttons, "Usage:") in that language. English, the language of the sentences in the code,
// needs none. Needs an application object. Returns false, after a warning, when Qt's own texts for that language
// are not installed; socios's translations are resources of the program and are always there.
bool installTranslations(const QLocale& locale);

// The file of socios's translation into `language` ("es"), a resource of the program.
QString translationFile(const QString& language);
