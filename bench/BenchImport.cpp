// socios-bench-import: the import of an Access member file, whole and in its parts, to tell its fixed cost from its
// cost per row.
//   socios-bench-import [--rows=100000] [Google Benchmark flags]
// The 242-row fixture is imported whole, by the library and by the socios executable; the reader's part per row is
// what reading the rows adds to reading the head alone. The parent's parts (the reader's output taken and mapped,
// the member file written) are measured on --rows generated members, formatted as the reader writes them.

#include "import/MemberImport.h"
#include "store/MemberStore.h"

#include "StandInReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <benchmark/benchmark.h>

namespace {

const QString kFixture = QStringLiteral(SOCIOS_ACCESS_FIXTURE);
QTemporaryDir* g_work = nullptr;
int g_rows = 100000;

const AccessReader& reader()
{
    static const AccessReader instance(QStringLiteral(SOCIOS_MDB_READER_PATH));
    return instance;
}

QString freshPath()
{
    static int n = 0;
    return g_work->filePath(QStringLiteral("import-%1/dorvel.mdb").arg(++n));
}

void removeMemberFile(const QString& path)
{
    QFile::remove(path);
    QDir().rmdir(QFileInfo(path).path());
}

const std::vector<MemberRecord>& generatedMembers()
{
    static const std::vector<MemberRecord> members = StandInReader::generatedMembers(QDir(g_work->path()), g_rows);
    return members;
}

void fixtureImported(benchmark::State& state)
{
    for (auto _ : state) {
        const QString path = freshPath();
        const ImportResult<ImportSummary> result = importAccessFile(reader(), kFixture, path);
        if (!result || result->members != 242)
            state.SkipWithError("the import failed");
        state.PauseTiming();
        removeMemberFile(path);
        state.ResumeTiming();
    }
    state.counters["rows"] = 242;
}

void fixtureImportedByTheExecutable(benchmark::State& state)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("SOCIOS_MDB_READER"), QStringLiteral(SOCIOS_MDB_READER_PATH));
    const QString path = home.filePath(QStringLiteral("MIS PROGRAMAS/dorvel.mdb"));
    for (auto _ : state) {
        QProcess socios;
        socios.setProcessEnvironment(environment);
        socios.start(QStringLiteral(SOCIOS_APP_PATH), {QStringLiteral("--import-access"), kFixture});
        if (!socios.waitForFinished(60000) || socios.exitCode() != 0)
            state.SkipWithError("socios --import-access failed");
        state.PauseTiming();
        removeMemberFile(path);
        state.ResumeTiming();
    }
}

void fixtureHeadRead(benchmark::State& state)
{
    for (auto _ : state)
        if (!reader().readHead(kFixture, QStringLiteral("ficha")))
            state.SkipWithError("the reader failed");
}

void fixtureRowsRead(benchmark::State& state)
{
    for (auto _ : state)
        if (!readAccessMembers(reader(), kFixture))
            state.SkipWithError("the reader failed");
    state.counters["rows"] = 242;
}

void outputTakenAndMapped(benchmark::State& state)
{
    const QByteArray output = StandInReader::output(generatedMembers());
    for (auto _ : state) {
        std::optional<FichaColumns> columns;
        std::vector<MemberRecord> records;
        ImportSummary summary;
        ReaderOutput parser(
            kFixture, false,
            [&](const AccessTableHead& head) -> ImportResult<void> {
                columns = FichaColumns::find(head, kFixture).value();
                return {};
            },
            [&](const AccessRow& row) -> ImportResult<void> {
                records.push_back(columns->record(row, qint64(records.size()) + 1, summary).value());
                return {};
            });
        // In pieces the size of a pipe's buffer, as the output arrives.
        ImportResult<void> fed;
        for (qsizetype at = 0; at < output.size() && fed; at += 65536)
            fed = parser.feed(output.mid(at, 65536));
        if (!fed || !parser.finish().ok() || records.size() != generatedMembers().size())
            state.SkipWithError("the output was refused");
    }
    state.counters["rows"] = double(generatedMembers().size());
}

void memberFileWritten(benchmark::State& state)
{
    const std::vector<MemberRecord>& members = generatedMembers();
    for (auto _ : state) {
        const QString path = freshPath();
        const MemberStore store(path);
        const auto produce = [&](const MemberStore::AddRecord& add) -> StoreResult<void> {
            for (const MemberRecord& member : members)
                if (StoreResult<void> done = add(member); !done)
                    return done;
            return {};
        };
        if (!store.openOrCreate().ok() || !store.fillEmpty(produce).value() ||
            store.rowCount().value() != qint64(members.size()))
            state.SkipWithError("the member file was not written");
        state.PauseTiming();
        removeMemberFile(path);
        state.ResumeTiming();
    }
    state.counters["rows"] = double(members.size());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/socios-bench-import-XXXXXX"));
    g_work = &work;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument.startsWith("--rows="))
            g_rows = argument.mid(7).toInt();
        else
            arguments.push_back(argv[i]);
    }
    int count = int(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    const auto unit = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("import/fixture-242", fixtureImported)->Unit(unit)->UseRealTime();
    benchmark::RegisterBenchmark("import/fixture-242/socios-process", fixtureImportedByTheExecutable)
        ->Unit(unit)
        ->UseRealTime();
    benchmark::RegisterBenchmark("reader/fixture-242/head-only", fixtureHeadRead)->Unit(unit)->UseRealTime();
    benchmark::RegisterBenchmark("reader/fixture-242/rows", fixtureRowsRead)->Unit(unit)->UseRealTime();
    benchmark::RegisterBenchmark("parent/output-taken-and-mapped", outputTakenAndMapped)->Unit(unit)->UseRealTime();
    benchmark::RegisterBenchmark("parent/member-file-written", memberFileWritten)->Unit(unit)->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
