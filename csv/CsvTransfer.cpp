#include "csv/CsvTransfer.h"

#include "csv/Csv.h"
#include "import/MemberImport.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

ImportError csvError(ImportError::Kind kind, const QString& file, const QString& detail)
{
    return ImportError{kind, file, detail, std::nullopt};
}

} // namespace

std::variant<CsvExported, CsvExportError> exportMembers(const MemberStore& store, const QString& file)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return CsvExportError{std::nullopt, file, out.errorString()};
    QStringList header;
    for (Field f : allFields())
        header << QLatin1String(fieldName(f));
    QByteArray buffer = Csv::kByteOrderMark + Csv::record(header);
    CsvExported exported;
    QStringList cells;
    const StoreFailure failure = store.scan(allFields(), [&](const StoredRow& row) -> StoreFailure {
        cells.clear();
        for (Field f : allFields()) {
            const StoreResult<QString> text = row.text(f);
            if (!text && text.error().kind != StoreError::Kind::NoValue)
                return text.error();
            exported.noValue += !text;
            cells << Csv::defuse(text ? *text : kEmptyMark);
        }
        buffer += Csv::record(cells);
        ++exported.members;
        if (buffer.size() > (1 << 20) && out.write(std::exchange(buffer, QByteArray())) < 0)
            return StoreError{StoreError::Kind::Read, store.path(), out.errorString(), StoreError::Cause::Other, {}};
        return std::nullopt;
    });
    if (failure) {
        out.cancelWriting();
        return CsvExportError{failure, {}, {}};
    }
    if (out.write(buffer) < 0 || !out.commit())
        return CsvExportError{std::nullopt, file, out.errorString()};
    return exported;
}

ImportResult<CsvImported> importMembers(const QString& file, const StoreAddress& target)
{
    QByteArray bytes;
    {
        QFile in(file);
        if (!QFileInfo(file).isFile() || !in.open(QIODevice::ReadOnly))
            return csvError(ImportError::Kind::Unreadable, file, in.errorString());
        bytes = in.readAll();
        if (in.error() != QFileDevice::NoError)
            return csvError(ImportError::Kind::Unreadable, file, in.errorString());
    }

    // Read as the rows are written: the records are never all held at once. A fault of the file stops the writing
    // (nothing of it is kept) and is reported as the file's.
    std::optional<ImportError> fault;
    QChar separator;
    const MemberStore::RecordProducer produce = [&](const MemberStore::AddRecord& add) -> StoreFailure {
        // The columns by the names of their header, whatever their case and order; other columns are left out.
        std::array<qsizetype, kFieldCount> column{};
        bool headerRead = false;
        StoreFailure added;
        MemberRecord record;
        const std::optional<Csv::ParseError> failed = Csv::parse(
            bytes,
            [&](const QStringList& cells, int) {
                if (fault || added)
                    return;
                if (!headerRead) {
                    headerRead = true;
                    for (Field f : allFields()) {
                        const QString name = QLatin1String(fieldName(f));
                        column[std::size_t(f)] = -1;
                        for (qsizetype i = 0; i < cells.size(); ++i)
                            if (cells[i].trimmed().compare(name, Qt::CaseInsensitive) == 0)
                                column[std::size_t(f)] = i;
                        if (column[std::size_t(f)] < 0 && !fault)
                            fault = csvError(ImportError::Kind::MissingField, file, name);
                    }
                    return;
                }
                // A spreadsheet may leave out the empty cells at the end of a record.
                for (Field f : allFields())
                    record[f] = Csv::undefuse(cells.value(column[std::size_t(f)]));
                added = add(record);
            },
            &separator);
        if (failed && !fault)
            fault = csvError(ImportError::Kind::BadValue, file,
                             QStringLiteral("line %1: %2").arg(failed->line).arg(failed->what));
        if (fault)
            return StoreError{StoreError::Kind::Read, file, fault->toString(), StoreError::Cause::Other, {}};
        return added;
    };
    const ImportResult<PutMembers> put = putMembers(produce, std::nullopt, file, target);
    if (fault)
        return *fault;
    if (!put)
        return put.error();
    return CsvImported{put->members, separator, put->cards};
}
