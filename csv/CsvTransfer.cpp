#include "csv/CsvTransfer.h"

#include "csv/Csv.h"
#include "csv/CsvText.h"
#include "intake/PutMembers.h"
#include "store/PendingFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#endif

namespace {

ImportError csvError(ImportError::Kind kind, const QString& file, const QString& detail)
{
    return ImportError{kind, file, detail, std::nullopt};
}

#ifndef Q_OS_WIN
QString systemError()
{
    return QString::fromLocal8Bit(strerror(errno));
}
#endif

// A file written under a temporary name in its folder (a PendingFile) and moved over `target` only once every
// write, the flush to the disk and the close have succeeded: `target` holds the whole new file, or what it held
// before. Unless committed, the temporary file goes with the object.
class WholeFile
{
public:
    explicit WholeFile(const QString& target) : m_target(target) {}
    ~WholeFile() { m_file.close(); }
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    bool open()
    {
        const QFileInfo before(m_target);
        if (before.isDir())
            return failed(CsvText::tr("a folder has that name"));
        if (before.exists() && !before.isWritable())
            return failed(CsvText::tr("the file there is read-only"));
        Result<PendingFile, StoreError> made = PendingFile::create(m_target);
        if (!made)
            return failed(made.error().detail);
        m_pending.emplace(std::move(made).value());
        m_file.setFileName(m_pending->path());
        // Unbuffered: each write reaches the system at once, and a disk that is full says so to that write.
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return failed(m_file.errorString());
        if (before.exists())
            m_file.setPermissions(before.permissions());
        return true;
    }

    // All of `bytes`, or false: a write that the system takes only in part is continued until it fails.
    bool write(QByteArrayView bytes)
    {
        while (!bytes.isEmpty()) {
            const qint64 written = m_file.write(bytes.data(), bytes.size());
            if (written <= 0)
                return failed(m_file.errorString());
            bytes = bytes.sliced(written);
        }
        return true;
    }

    bool commit()
    {
#ifdef Q_OS_WIN
        if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(m_file.handle()))))
            return failed(QStringLiteral("FlushFileBuffers error %1").arg(GetLastError()));
#else
        if (::fsync(m_file.handle()) != 0)
            return failed(systemError());
#endif
        m_file.close();
        if (m_file.error() != QFileDevice::NoError)
            return failed(m_file.errorString());
        // Moved over the target, the new name flushed to the disk too.
        if (const StoreResult<void> moved = m_pending->replaceTarget(); !moved)
            return failed(moved.error().detail);
        return true;
    }

    const QString& errorString() const
    {
        return m_error;
    }

private:
    bool failed(const QString& why)
    {
        m_error = why;
        return false;
    }

    QString m_target;
    std::optional<PendingFile> m_pending;
    QFile m_file;
    QString m_error;
};

} // namespace

Result<CsvExported, CsvExportError> exportMembers(const MemberStore& store, const QString& file)
{
    WholeFile out(file);
    if (!out.open())
        return CsvExportError{std::nullopt, file, out.errorString()};
    QStringList header;
    for (Field f : allFields())
        header << QLatin1String(fieldName(f));
    QByteArray buffer = Csv::kByteOrderMark + Csv::record(header);
    CsvExported exported;
    std::optional<CsvExportError> notWritten;
    QStringList cells;
    const StoreResult<void> scanned = store.scan(allFields(), [&](const StoredRow& row) -> StoreResult<void> {
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
        if (buffer.size() > (1 << 20) && !out.write(std::exchange(buffer, QByteArray()))) {
            // Stops the scan; reported as the CSV file's failure, not the member file's.
            notWritten = CsvExportError{std::nullopt, file, out.errorString()};
            return StoreError{StoreError::Kind::Read, store.path(), out.errorString(), StoreError::Cause::Other, {}};
        }
        return {};
    });
    if (notWritten)
        return *notWritten;
    if (!scanned)
        return CsvExportError{scanned.error(), {}, {}};
    if (!out.write(buffer) || !out.commit())
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
    const MemberStore::RecordProducer produce = [&](const MemberStore::AddRecord& add) -> StoreResult<void> {
        // The columns by the names of their header, whatever their case and order; other columns are left out.
        std::array<qsizetype, kFieldCount> column{};
        qsizetype headerCells = 0;
        bool headerRead = false;
        StoreResult<void> added;
        MemberRecord record;
        const Result<void, Csv::ParseError> parsed = Csv::parse(
            bytes,
            [&](const QStringList& cells, int line) {
                if (fault || !added)
                    return;
                if (!headerRead) {
                    headerRead = true;
                    headerCells = cells.size();
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
                // A cell too many is a separator in a cell that should have been quoted: every cell after it
                // would go to the wrong field.
                if (cells.size() > headerCells) {
                    fault = csvError(ImportError::Kind::BadValue, file,
                                     CsvText::tr("line %1: %2 cells, but the header has %3")
                                         .arg(line)
                                         .arg(cells.size())
                                         .arg(headerCells));
                    return;
                }
                // A spreadsheet may leave out the empty cells at the end of a record: they are empty, as every
                // cell without a character is (the store keeps text, never a missing value).
                for (Field f : allFields())
                    record[f] = Csv::undefuse(cells.value(column[std::size_t(f)]));
                added = add(record);
            },
            &separator);
        if (!parsed && !fault)
            fault = csvError(ImportError::Kind::BadValue, file,
                             CsvText::tr("line %1: %2").arg(parsed.error().line).arg(parsed.error().what));
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
