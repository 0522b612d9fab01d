#include "import/ReaderOutput.h"

namespace {

// A count of the output: decimal digits only, no sign, within range; -1 for anything else.
qint64 count(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 12)
        return -1;
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The reader's kinds of failure.
ImportError::Kind reportedKind(QByteArrayView kind)
{
    using Kind = ImportError::Kind;
    if (kind == "open" || kind == "read")
        return Kind::Unreadable;
    if (kind == "notregular" || kind == "notaccess")
        return Kind::NotAccess;
    if (kind == "notable")
        return Kind::NoTable;
    if (kind == "value")
        return Kind::BadValue;
    if (kind == "cut")
        return Kind::CutShort;
    return Kind::Damaged;
}

} // namespace

ReaderOutput::ReaderOutput(QString file, bool headOnly, HeadVisitor onHead, RowVisitor onRow)
    : m_file(std::move(file)), m_headOnly(headOnly), m_onHead(std::move(onHead)), m_onRow(std::move(onRow))
{}

ImportError ReaderOutput::damaged(const QString& detail) const
{
    return ImportError{ImportError::Kind::Damaged, m_file, detail, std::nullopt};
}

std::optional<QString> ReaderOutput::text(QByteArrayView bytes)
{
    QByteArray plain;
    plain.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\\') {
            plain += bytes[i];
            continue;
        }
        if (++i == bytes.size())
            return std::nullopt;
        switch (bytes[i]) {
        case '\\':
            plain += '\\';
            break;
        case 't':
            plain += '\t';
            break;
        case 'n':
            plain += '\n';
            break;
        case 'r':
            plain += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    QString decoded = m_decoder.decode(plain);
    if (m_decoder.hasError())
        return std::nullopt;
    return decoded;
}

ImportResult<void> ReaderOutput::feed(const QByteArray& bytes)
{
    m_pending += bytes;
    qsizetype start = 0;
    for (qsizetype end; (end = m_pending.indexOf('\n', start)) >= 0; start = end + 1) {
        if (ImportResult<void> done = line(m_pending.mid(start, end - start)); !done) {
            m_pending.clear();
            return done;
        }
    }
    m_pending.remove(0, start);
    return {};
}

ImportResult<void> ReaderOutput::line(const QByteArray& line)
{
    const QList<QByteArray> parts = line.split('\t');
    const QByteArray& tag = parts.constFirst();
    if (tag == "error" && parts.size() == 3) {
        m_reported = ImportError{reportedKind(parts[1]), m_file, text(parts[2]).value_or(QString()), std::nullopt};
        m_state = State::Ended;
        return {};
    }
    switch (m_state) {
    case State::Signature:
        if (line != "socios-mdb-reader 1")
            return damaged(QStringLiteral("the reader's output does not begin as expected"));
        m_state = State::Table;
        return {};
    case State::Table: {
        const qint64 rows = parts.size() == 3 ? count(parts[1]) : -1;
        const qint64 columns = parts.size() == 3 ? count(parts[2]) : -1;
        if (tag != "table" || rows < 0 || columns < 1 || columns > 256)
            return damaged(QStringLiteral("the reader's account of the table is malformed"));
        m_head.rows = rows;
        m_columnsDeclared = columns;
        m_state = State::Columns;
        return {};
    }
    case State::Columns: {
        const qint64 type = parts.size() == 3 ? count(parts[1]) : -1;
        const std::optional<QString> name = parts.size() == 3 ? text(parts[2]) : std::nullopt;
        if (tag != "column" || type < 0 || type > 255 || !name)
            return damaged(QStringLiteral("the reader's account of a column is malformed"));
        m_head.columns.append({*name, AccessType(type)});
        if (m_head.columns.size() < m_columnsDeclared)
            return {};
        m_state = State::Rows;
        return m_onHead ? m_onHead(m_head) : ImportResult<void>();
    }
    case State::Rows:
        if (tag == "end" && parts.size() == 2) {
            if (count(parts[1]) != m_rows)
                return damaged(QStringLiteral("the reader's count of rows does not match the rows it wrote"));
            m_state = State::Ended;
            return {};
        }
        if (tag != "row" || m_headOnly || parts.size() != m_columnsDeclared + 1)
            return damaged(QStringLiteral("row %1 is malformed in the reader's output").arg(m_rows + 1));
        m_row.resize(0);
        for (qsizetype i = 1; i < parts.size(); ++i) {
            if (parts[i] == "\\N") {
                m_row.append(std::nullopt);
                continue;
            }
            std::optional<QString> value = text(parts[i]);
            if (!value)
                return damaged(QStringLiteral("row %1 holds text that is not valid UTF-8").arg(m_rows + 1));
            m_row.append(std::move(value));
        }
        ++m_rows;
        return m_onRow ? m_onRow(m_row) : ImportResult<void>();
    case State::Ended:
        return damaged(QStringLiteral("the reader wrote on after its end"));
    }
    return {};
}

ImportResult<void> ReaderOutput::finish()
{
    if (m_reported)
        return *m_reported;
    if (m_state != State::Ended || !m_pending.isEmpty())
        return damaged(QStringLiteral("the reader's output ends early"));
    if (!m_headOnly && m_rows != m_head.rows)
        return damaged(QStringLiteral("the table counts %1 rows, but %2 could be read").arg(m_head.rows).arg(m_rows));
    return {};
}
