#include "csv/Csv.h"

#include "conversions/Characters.h"
#include "csv/CsvText.h"

#include <QStringDecoder>

namespace {

// A number as Str writes it and as a spreadsheet reads it, and nothing else: a minus, digits with at most one
// decimal point or comma (perhaps with no digit before it), and an exponent ("-5", "-.5", "-1E+20"). A positive
// number (" 17.5") starts with a blank, which no formula does.
bool isPlainNumber(QStringView cell)
{
    qsizetype i = 0;
    const auto digits = [&] {
        const qsizetype from = i;
        while (i < cell.size() && cell[i] >= QLatin1Char('0') && cell[i] <= QLatin1Char('9'))
            ++i;
        return i > from;
    };
    if (i < cell.size() && cell[i] == QLatin1Char('-'))
        ++i;
    bool number = digits();
    if (i < cell.size() && (cell[i] == QLatin1Char('.') || cell[i] == QLatin1Char(','))) {
        ++i;
        number = digits() || number;
    }
    if (number && i < cell.size() && cell[i] == QLatin1Char('E')) {
        ++i;
        if (i < cell.size() && (cell[i] == QLatin1Char('+') || cell[i] == QLatin1Char('-')))
            ++i;
        number = digits();
    }
    return number && i == cell.size();
}

bool startsAFormula(const QString& cell)
{
    if (cell.isEmpty())
        return false;
    const QChar first = cell.at(0);
    return (first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-') ||
            first == QLatin1Char('@') || first == QLatin1Char('\t') || first == QLatin1Char('\r')) &&
           !isPlainNumber(cell);
}

// The number of the first line (from 1) of text that is not valid UTF-8. A line ends at a line feed, which no
// UTF-8 character holds, so the lines decode as the whole does.
int firstLineNotUtf8(QByteArrayView bytes)
{
    int line = 1;
    for (qsizetype start = 0;; ++line) {
        const qsizetype feed = bytes.indexOf('\n', start);
        const qsizetype end = feed < 0 ? bytes.size() : feed;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8(bytes.sliced(start, end - start)); // decoded only when made a QString
        if (utf8.hasError() || feed < 0)
            return line;
        start = feed + 1;
    }
}

} // namespace

namespace Csv {

QString defuse(const QString& cell)
{
    return startsAFormula(cell) || cell.startsWith(QLatin1Char('\'')) ? QLatin1Char('\'') + cell : cell;
}

QString undefuse(const QString& cell)
{
    return cell.startsWith(QLatin1Char('\'')) ? cell.mid(1) : cell;
}

QByteArray record(const QStringList& cells, QChar separator)
{
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += separator;
        const QString& cell = cells[i];
        if (cell.contains(separator) || cell.contains(QLatin1Char('"')) || cell.contains(QLatin1Char('\n')) ||
            cell.contains(QLatin1Char('\r'))) {
            QString quoted = cell;
            line += QLatin1Char('"') + quoted.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
        } else {
            line += cell;
        }
    }
    return (line + QLatin1String("\r\n")).toUtf8();
}

Result<void, ParseError> parse(const QByteArray& bytes, const RecordVisitor& record, QChar* separatorFound)
{
    // A file that says it is UTF-8 is read as nothing else: a stray byte of another code page would otherwise turn
    // every accent of the file into two wrong characters.
    const bool marked = bytes.startsWith(kByteOrderMark);
    const QByteArrayView content = marked ? QByteArrayView(bytes).sliced(kByteOrderMark.size()) : QByteArrayView(bytes);
    QString text;
    if (marked) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8(content);
        if (utf8.hasError())
            return ParseError{firstLineNotUtf8(content),
                              CsvText::tr("not UTF-8, although the file starts with a UTF-8 byte-order mark")};
    } else {
        text = textFromBytes(content.data(), content.size());
    }

    // The separator is the one that the header line uses.
    const qsizetype headerEnd = text.indexOf(QLatin1Char('\n'));
    const QStringView header = QStringView(text).left(headerEnd < 0 ? text.size() : headerEnd);
    const QChar separator =
        header.count(QLatin1Char(',')) > header.count(QLatin1Char(';')) ? QLatin1Char(',') : QLatin1Char(';');
    if (separatorFound)
        *separatorFound = separator;

    int records = 0;
    QStringList cells;
    QString cell;
    bool inQuotes = false;
    bool quotedCell = false; // the cell began with a quote: what follows its closing quote is kept as it comes
    bool pending = false;    // something of a record has been read since the last one ended
    int line = 1, recordLine = 1;
    const auto endCell = [&] {
        cells << std::exchange(cell, QString());
        quotedCell = false;
    };
    const auto endRecord = [&] {
        endCell();
        if (!(cells.size() == 1 && cells[0].isEmpty())) { // a blank line is no record
            record(cells, recordLine);
            ++records;
        }
        cells.clear();
        pending = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                cell += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                line += c == QLatin1Char('\n');
                cell += c;
            }
            continue;
        }
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endRecord();
            recordLine = ++line;
            continue;
        }
        pending = true;
        if (c == QLatin1Char('"') && cell.isEmpty() && !quotedCell)
            inQuotes = quotedCell = true;
        else if (c == separator)
            endCell();
        else
            cell += c;
    }
    if (inQuotes)
        return ParseError{recordLine, CsvText::tr("a quoted value is never closed")};
    if (pending)
        endRecord();
    if (records == 0)
        return ParseError{1, CsvText::tr("the file holds no header line")};
    return {};
}

} // namespace Csv
