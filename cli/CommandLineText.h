#pragma once

#include <QCoreApplication>

// The context of the command line's sentences in the translations (translations/socios_LANG.ts): every sentence
// that a command-line mode prints goes through CommandLineText::tr(), whole, with its values as %1, %2...
class CommandLineText
{
    Q_DECLARE_TR_FUNCTIONS(CommandLineText)
};
