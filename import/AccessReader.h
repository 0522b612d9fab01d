#pragma once

#include "import/ReaderOutput.h"

#include <QString>

#include <functional>

// Reads tables of Access files through socios-mdb-reader, a program of its own, so that a damaged file that makes
// the Access library loop, crash or eat memory ends the reader, never socios. The reader runs in a clean
// environment, with limits on its time, its memory and its output; what it wrote is accepted only after a clean
// exit, and only when its account of the table adds up.
class AccessReader
{
public:
    // Called as rows arrive, with the rows read so far and the rows that the table counts.
    using Progress = std::function<void(qint64 rowsRead, qint64 rowsCounted)>;

    explicit AccessReader(QString program = defaultProgram());

    // The reader program: $SOCIOS_MDB_READER when set (the tests set it), else socios-mdb-reader next to this
    // program, else in ../libexec/socios/ relative to it (an installed package).
    static QString defaultProgram();

    // The head of `table` (its columns, and the rows it counts), without reading its rows.
    ImportResult<AccessTableHead> readHead(const QString& file, const QString& table) const;

    // The whole table: the head, then every row in stored order. Only a complete reading returns no error; the
    // visitors may have seen rows by then, and must discard them on an error.
    ImportResult<void> read(const QString& file, const QString& table, const ReaderOutput::HeadVisitor& onHead,
                            const ReaderOutput::RowVisitor& onRow, const Progress& progress = {}) const;

    // How long the reader may run without writing anything, and in all, for a file of `bytes` bytes.
    static int silenceLimitMs() { return 3000; }
    static qint64 timeLimitMs(qint64 bytes) { return 10000 + bytes / 1000; } // 10 s and 1 s a megabyte
    // The most the reader may write, and the address space it may use, for a file of `bytes` bytes.
    static qint64 outputLimit(qint64 bytes) { return (qint64(16) << 20) + 8 * bytes; }
    static qint64 memoryLimit(qint64 bytes) { return (qint64(256) << 20) + 4 * bytes; }

private:
    ImportResult<void> run(const QString& file, const QString& table, ReaderOutput& output,
                           const Progress& progress) const;

    QString m_program;
};
