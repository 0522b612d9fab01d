#pragma once

#include <QCoreApplication>

// The context of the CSV transfer's own explanations in the translations (translations/socios_LANG.ts): why a file
// is refused, said to the shop's owner by the command line.
class CsvText
{
    Q_DECLARE_TR_FUNCTIONS(CsvText)
};
