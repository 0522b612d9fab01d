#pragma once

#include "import/AccessValue.h"
#include "intake/ImportError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringDecoder>

#include <functional>
#include <optional>

// A column of an Access table.
struct AccessColumn
{
    QString name;
    AccessType type = AccessType::Text;
};

// What an Access table says of itself before its rows.
struct AccessTableHead
{
    qint64 rows = 0; // the row count that the table definition holds
    QList<AccessColumn> columns;
};

// One row: a value per column, in the reader's form (see AccessValue.h); none for a field without a value (NULL).
using AccessRow = QList<std::optional<QString>>;

// Takes the output of socios-mdb-reader as it arrives and checks it whole: the head, every row with one field per
// column, valid UTF-8, and an end that counts the rows that came. A row reaches the row visitor only once it is
// complete; the visitors may stop the reading by returning an error, which feed() then returns.
class ReaderOutput
{
public:
    using HeadVisitor = std::function<ImportResult<void>(const AccessTableHead&)>;
    using RowVisitor = std::function<ImportResult<void>(const AccessRow&)>;

    // `headOnly`: the reader was asked for the head alone, and no row may come.
    ReaderOutput(QString file, bool headOnly, HeadVisitor onHead, RowVisitor onRow);

    // The next bytes of the output; an error when they break its form, or a visitor stops.
    ImportResult<void> feed(const QByteArray& bytes);

    // After the reader has exited: an error unless the output ended with its end record and the rows that came are
    // the rows that the table counts (with `headOnly`, none). When the reader reported an error of its own, that.
    ImportResult<void> finish();

    // The error that the reader reported in its last record, if any.
    const std::optional<ImportError>& reportedError() const { return m_reported; }

    bool headOnly() const { return m_headOnly; }
    const AccessTableHead& head() const { return m_head; }
    qint64 rowsRead() const { return m_rows; }

private:
    ImportResult<void> line(const QByteArray& line);
    ImportError damaged(const QString& detail) const;
    std::optional<QString> text(QByteArrayView bytes);

    enum class State { Signature, Table, Columns, Rows, Ended };

    QString m_file;
    bool m_headOnly;
    HeadVisitor m_onHead;
    RowVisitor m_onRow;
    State m_state = State::Signature;
    QByteArray m_pending; // an incomplete last line
    AccessTableHead m_head;
    qint64 m_columnsDeclared = 0;
    qint64 m_rows = 0;
    AccessRow m_row;
    QStringDecoder m_decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
    std::optional<ImportError> m_reported;
};
