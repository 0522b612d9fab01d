#pragma once

#include "store/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Members as comma-separated values, as spreadsheets open and save them: Excel and LibreOffice in Spain use ";"
// between fields, and read a file as UTF-8 when it starts with a byte-order mark.
namespace Csv {

// What a spreadsheet could run as a formula (a text starting with "=", "+", "-", "@", a tab or a carriage return,
// unless the whole text is a plain number such as "-5" or " 17.5") gets an apostrophe in front; so does a text that
// starts with an apostrophe, so that undefuse() knows exactly which apostrophe to take away.
QString defuse(const QString& cell);
QString undefuse(const QString& cell);

// One record: the cells separated by `separator`, each quoted as RFC 4180 requires (a cell holding the separator,
// a quote or a line break is enclosed in quotes, its quotes doubled), ended by CR LF. UTF-8.
QByteArray record(const QStringList& cells, QChar separator = QLatin1Char(';'));

// The byte-order mark that tells spreadsheets the file is UTF-8.
inline const QByteArray kByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");

struct ParseError
{
    int line = 0;
    QString what;
};

// Reads a whole file: a file that starts with a UTF-8 byte-order mark as UTF-8 (an error names its first line that
// is not); one without the mark as UTF-8 when the whole file is valid UTF-8, otherwise as Windows-1252; ";"
// or "," between fields, whichever separates the header; quoted cells may hold separators, quotes and line breaks;
// lines end with CR LF or LF. Blank lines are skipped. Each record goes to `record` as it is read, with the line
// it starts on (from 1), the header first; the separator found goes to `separator`.
using RecordVisitor = std::function<void(const QStringList& cells, int line)>;
Result<void, ParseError> parse(const QByteArray& bytes, const RecordVisitor& record, QChar* separator = nullptr);

} // namespace Csv
