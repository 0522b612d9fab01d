#pragma once

#include <QString>

// The window's notices and errors: every sentence that app/ words for the operator goes through WindowText::tr(),
// whole, with its values as %1, %2..., and its Spanish comes from socios's Spanish translation
// (translations/socios_es.ts, context WindowText). The window speaks Spanish whatever the system's language and
// whatever translations the process has installed. The window's own captions are data of the catalogue and never go
// through here.
class WindowText
{
public:
    static QString tr(const char* sentence);
};
