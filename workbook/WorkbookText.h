#pragma once

#include <QCoreApplication>

// The context of the workbook's own explanations in the translations (translations/socios_LANG.ts): why a workbook
// is refused, said to the shop's owner by the command line.
class WorkbookText
{
    Q_DECLARE_TR_FUNCTIONS(WorkbookText)
};
