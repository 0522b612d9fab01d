// socios-bench: what the operator waits for, on generated member files of growing size.
//   socios-bench [--sizes=1000,100000,1000000] [--data=DIR] [--server=LABEL=URI ...] [Google Benchmark flags]
// Member files are generated once into DIR (default: a folder in the system's temporary folder) and reused.
// Writes run on a copy of each file. Each fast path runs beside the straightforward way (every row read), and
// the ratios are printed at the end.
//
// latency/STORE/...: a card lookup and each write, one at a time, with the median and the 99th percentile of
// their times (p50_ms, p99_ms), on the member file ("sqlite") and on each server given with --server (its label
// names it: "socket", "tcp"). On a server the members are generated once into database socios_bench_N_vV (URI names
// any database of the server, and its user may create databases); the writes run on a copy made for each label.

#include "conversions/Conversions.h"
#include "store/MemberStore.h"
#include "store/Schema.h"
#include "tools/MemberGenerator.h"
#include "window/Clock.h"
#include "window/Form1.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

namespace {

// Bumped whenever the generator changes, so that stale files are not measured.
constexpr int kGeneratorVersion = 1;

// A day whose next nine days lie in one month and the next: the list holds about 9/365 of the members.
const QDate kToday(2026, 3, 27);

QString g_dataDir;
QTemporaryDir* g_workDir = nullptr;

QString memberFile(int members)
{
    const QString path = QStringLiteral("%1/members-%2-v%3.mdb").arg(g_dataDir).arg(members).arg(kGeneratorVersion);
    if (!QFile::exists(path)) {
        QTextStream(stderr) << "generating " << path << "...\n";
        GeneratorOptions options;
        options.members = members;
        if (const StoreResult<void> done = generateMemberFile(path, options); !done)
            qFatal("%s", qUtf8Printable(done.error().toString()));
    }
    return path;
}

// A copy of the member file for benchmarks that write.
QString workingCopy(int members)
{
    const QString path = g_workDir->filePath(QStringLiteral("work-%1.mdb").arg(members));
    if (!QFile::exists(path) && !QFile::copy(memberFile(members), path))
        qFatal("cannot copy the member file");
    return path;
}

void lookup(benchmark::State& state, int members, bool present)
{
    const MemberStore store(memberFile(members));
    QRandomGenerator random(7);
    for (auto _ : state) {
        const int index = present ? int(random.bounded(members)) : members + int(random.bounded(1000));
        const auto rows = store.rowsWithCard(generatedCard(index));
        if (!rows || rows->empty() == present)
            state.SkipWithError("wrong lookup result");
        benchmark::DoNotOptimize(rows);
    }
}

// The floor of a lookup: the same indexed query prepared once on one open connection, through SQLite's own
// interface, reading the thirteen texts of the rows found. A card pass can cost no less.
void lookupFloor(benchmark::State& state, int members)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(qUtf8Printable(memberFile(members)), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(
            db,
            "SELECT ntarjeta, nsocio, nombre, apellidos, calle, cp, ciudad, telefono, email, "
            "fnacimiento, observaciones, puntos, fcaducidad FROM ficha WHERE ntarjeta = ? ORDER BY rowid",
            -1, &statement, nullptr) != SQLITE_OK) {
        state.SkipWithError("cannot open the member file");
        sqlite3_close(db);
        return;
    }
    QRandomGenerator random(7);
    for (auto _ : state) {
        const QByteArray card = generatedCard(int(random.bounded(members))).toUtf8();
        sqlite3_bind_text(statement, 1, card.constData(), int(card.size()), SQLITE_STATIC);
        int found = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int i = 0; i < 13; ++i)
                benchmark::DoNotOptimize(sqlite3_column_text(statement, i));
            ++found;
        }
        sqlite3_reset(statement);
        if (found != 1)
            state.SkipWithError("wrong lookup result");
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

// The straightforward lookup: every row read and its card number compared, the matching rows read in full.
void lookupByReadingEveryRow(benchmark::State& state, int members)
{
    const MemberStore store(memberFile(members));
    QRandomGenerator random(7);
    for (auto _ : state) {
        const QString card = generatedCard(int(random.bounded(members)));
        int found = 0;
        const StoreResult<void> scanned = store.scan(allFields(), [&](const StoredRow& row) -> StoreResult<void> {
            if (row.text(Field::ntarjeta).value() == card) {
                MemberRecord record;
                for (Field f : allFields())
                    record[f] = row.text(f).value();
                benchmark::DoNotOptimize(record);
                ++found;
            }
            return {};
        });
        if (!scanned || found != 1)
            state.SkipWithError("wrong lookup result");
    }
}

void startup(benchmark::State& state, int members)
{
    const MemberStore store(memberFile(members));
    const FixedClock clock(kToday);
    qsizetype listed = 0;
    for (auto _ : state) {
        Form1 form;
        if (!form.load(store, clock).ok())
            state.SkipWithError("start-up failed");
        listed = form.birthdayList.items().size();
    }
    state.counters["listed"] = double(listed);
}

// What a start-up that reads every row pays before it checks a single birthday.
void startupReadingEveryRow(benchmark::State& state, int members)
{
    const MemberStore store(memberFile(members));
    static constexpr Field kRead[] = {Field::fnacimiento, Field::nombre, Field::apellidos, Field::ntarjeta};
    for (auto _ : state) {
        const StoreResult<void> scanned = store.scan(kRead, [](const StoredRow& row) -> StoreResult<void> {
            benchmark::DoNotOptimize(row.text(Field::fnacimiento));
            return {};
        });
        if (!scanned)
            state.SkipWithError("scan failed");
    }
}

void append(benchmark::State& state, int members)
{
    const MemberStore store(workingCopy(members));
    MemberRecord record;
    for (Field f : allFields())
        record[f] = QStringLiteral("Nuevo socio");
    int next = members + 100'000;
    for (auto _ : state) {
        record.ntarjeta = generatedCard(next++);
        if (!store.append(record).ok())
            state.SkipWithError("append failed");
    }
}

void rewrite(benchmark::State& state, int members)
{
    const MemberStore store(workingCopy(members));
    QRandomGenerator random(11);
    MemberRecord record;
    for (Field f : allFields())
        record[f] = QStringLiteral("Socio cambiado");
    for (auto _ : state) {
        record.ntarjeta = generatedCard(int(random.bounded(members)));
        state.PauseTiming(); // the lookup that showed the member comes before the save
        const auto shown = store.rowsWithCard(record.ntarjeta);
        state.ResumeTiming();
        const auto written = store.rewrite(shown->front(), record);
        if (!written || written->outcome != MemberStore::Rewrite::Outcome::Written)
            state.SkipWithError("rewrite failed");
    }
}

void changePoints(benchmark::State& state, int members)
{
    const MemberStore store(workingCopy(members));
    QRandomGenerator random(13);
    for (auto _ : state) {
        const auto stored = store.changePoints(generatedCard(int(random.bounded(members))), [](const QString& now) {
            return std::optional<QString>(now + QLatin1Char('1'));
        });
        if (!stored || stored->outcome != MemberStore::PointsChange::Outcome::Written)
            state.SkipWithError("points change failed");
    }
}

// Drops the file's pages from the system's cache, as after a reboot (the libraries stay cached).
bool evictFromCache(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool evicted = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return evicted;
}

// Another program reading the file inside one long transaction (a spreadsheet's link, a backup tool): a save and
// a lookup of this till meanwhile. Reports the slowest of each; a save that fails stops the benchmark.
void whileAnotherProgramReads(benchmark::State& state, int members)
{
    const QString path = workingCopy(members);
    sqlite3* reader = nullptr;
    sqlite3_open_v2(qUtf8Printable(path), &reader, SQLITE_OPEN_READONLY, nullptr);
    if (sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM ficha;", nullptr, nullptr, nullptr) != SQLITE_OK)
        state.SkipWithError("the reader cannot start its transaction");
    const MemberStore store(path);
    QRandomGenerator random(17);
    MemberRecord record;
    for (Field f : allFields())
        record[f] = QStringLiteral("Socio nuevo");
    static int used = 0; // new numbers across repetitions too
    int next = members + 200'000 + used;
    double slowestSave = 0, slowestLookup = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        record.ntarjeta = generatedCard(next++);
        ++used;
        const auto added = store.appendNew(record);
        slowestSave = std::max(slowestSave, timer.nsecsElapsed() / 1e6);
        timer.restart();
        const auto rows = store.rowsWithCard(generatedCard(int(random.bounded(members))));
        slowestLookup = std::max(slowestLookup, timer.nsecsElapsed() / 1e6);
        if (!added || !*added || !rows || rows->size() != 1)
            state.SkipWithError("a save or a lookup failed while the other program read");
    }
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    state.counters["slowest_save_ms"] = slowestSave;
    state.counters["slowest_lookup_ms"] = slowestLookup;
}

// Another till holds the write lock for 50 ms; this till's save waits for it. The time measured runs from the
// moment the other till's commit returns to the moment this save returns.
void saveAfterLockReleased(benchmark::State& state, int members)
{
    const QString path = workingCopy(members);
    const MemberStore store(path);
    MemberRecord record;
    for (Field f : allFields())
        record[f] = QStringLiteral("Socio nuevo");
    static int used = 0; // new numbers across repetitions too
    int next = members + 300'000 + used;
    for (auto _ : state) {
        std::atomic<qint64> released{0};
        std::atomic<bool> locked{false};
        QElapsedTimer clock;
        clock.start();
        std::thread other([&] {
            sqlite3* till = nullptr;
            sqlite3_open_v2(qUtf8Printable(path), &till, SQLITE_OPEN_READWRITE, nullptr);
            sqlite3_exec(till, "BEGIN IMMEDIATE; UPDATE ficha SET puntos = puntos WHERE rowid = 1;", nullptr, nullptr,
                         nullptr);
            locked = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            sqlite3_exec(till, "COMMIT", nullptr, nullptr, nullptr);
            released = clock.nsecsElapsed();
            sqlite3_close(till);
        });
        while (!locked)
            std::this_thread::yield();
        record.ntarjeta = generatedCard(next++);
        ++used;
        const auto added = store.appendNew(record);
        const qint64 done = clock.nsecsElapsed();
        other.join();
        if (!added || !*added)
            state.SkipWithError("the waiting save failed");
        state.SetIterationTime(std::max<qint64>(0, done - released) / 1e9);
    }
}

// The environment of the real application with `home` as its home folder: offscreen, saying when its window shows.
QProcessEnvironment applicationEnvironment(const QString& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("socios.startup.info=true"));
    return environment;
}

// Starts the real application and reads its log until it says that its window is shown; false if it never does.
bool startUntilWindowShown(QProcess& process)
{
    process.setReadChannel(QProcess::StandardError);
    process.start(QStringLiteral(SOCIOS_APP_PATH), {});
    QByteArray seen;
    while (!seen.contains("window shown") && process.waitForReadyRead(10000))
        seen += process.readAllStandardError();
    return seen.contains("window shown");
}

// The real application, from its start to its window shown, with its peak resident memory. With `coldFile`,
// the member file is read from the disk rather than from the system's cache.
void applicationStart(benchmark::State& state, int members, bool coldFile)
{
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("MIS PROGRAMAS"));
    QFile::link(memberFile(members), home.filePath(QStringLiteral("MIS PROGRAMAS/dorvel.mdb")));
    const QProcessEnvironment environment = applicationEnvironment(home.path());
    double peakKb = 0;
    for (auto _ : state) {
        if (coldFile && !evictFromCache(memberFile(members)))
            state.SkipWithError("cannot drop the member file from the cache");
        QProcess process;
        process.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        const bool shown = startUntilWindowShown(process);
        const double seconds = timer.nsecsElapsed() / 1e9;
        QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("VmHWM:"))
                    peakKb = std::max(peakKb, line.mid(6).trimmed().split(' ').value(0).toDouble());
        process.kill();
        process.waitForFinished();
        if (!shown)
            state.SkipWithError("the window was never shown");
        state.SetIterationTime(seconds);
    }
    state.counters["peak_MB"] = peakKb / 1024;
}

// The first start on a file without the lookup indexes (made by another program): the time to the window shown,
// and meanwhile the slowest save of another till, while the application builds the indexes in the background.
void firstStartUnindexed(benchmark::State& state, int members)
{
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir home;
        QDir(home.path()).mkpath(QStringLiteral("MIS PROGRAMAS"));
        const QString path = home.filePath(QStringLiteral("MIS PROGRAMAS/dorvel.mdb"));
        QFile::copy(memberFile(members), path);
        {
            sqlite3* db = nullptr;
            sqlite3_open(qUtf8Printable(path), &db);
            for (const QString& index : kIndexNames)
                sqlite3_exec(db, qUtf8Printable(QStringLiteral("DROP INDEX ") + index), nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        QProcess process;
        process.setProcessEnvironment(applicationEnvironment(home.path()));
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        const bool shown = startUntilWindowShown(process);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        state.PauseTiming();
        // Another till saving members while the indexes are built.
        const MemberStore till(path);
        MemberRecord record;
        for (Field f : allFields())
            record[f] = QStringLiteral("Socio nuevo");
        double slowest = 0;
        int next = members + 400'000;
        while (timer.elapsed() < 6000) {
            QElapsedTimer save;
            save.start();
            record.ntarjeta = generatedCard(next++);
            const auto added = till.appendNew(record);
            slowest = std::max(slowest, save.nsecsElapsed() / 1e6);
            if (save.nsecsElapsed() > 100'000'000 && qEnvironmentVariableIsSet("SOCIOS_BENCH_TRACE"))
                QTextStream(stderr) << "slow save at " << timer.elapsed() << " ms: " << save.elapsed() << " ms\n";
            if (!added)
                state.SkipWithError(qPrintable(added.error().toString()));
        }
        state.counters["slowest_other_save_ms"] = slowest;
        process.kill();
        process.waitForFinished();
        if (!shown)
            state.SkipWithError("the window was never shown");
        state.ResumeTiming();
    }
}

// Where the latency family runs: the member files, or a server.
struct BenchStore
{
    std::string label;
    std::optional<StoreAddress> server; // any database of the server: the benchmark makes its own

    // Runs SQL on the server's database that `server` names.
    void administer(const QString& sql) const
    {
        const QString connection = QStringLiteral("socios-bench-admin");
        QString error;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
            db.setConnectOptions(server->connectOptions());
            QSqlQuery query(db);
            if (!db.open())
                error = db.lastError().text();
            else if (!query.exec(QStringLiteral("SET client_min_messages = warning")) || !query.exec(sql))
                error = query.lastError().text();
        }
        QSqlDatabase::removeDatabase(connection);
        if (!error.isEmpty())
            qFatal("%s: %s", qUtf8Printable(sql), qUtf8Printable(error));
    }

    StoreAddress database(const QString& name) const
    {
        QMap<QString, QString> parameters = server->parameters();
        parameters.insert(QStringLiteral("dbname"), name);
        return *StoreAddress::server(parameters);
    }

    // The generated members, read only.
    StoreAddress members(int count) const
    {
        if (!server)
            return StoreAddress::file(memberFile(count));
        const QString name = QStringLiteral("socios_bench_%1_v%2").arg(count).arg(kGeneratorVersion);
        const StoreAddress address = database(name);
        const StoreResult<qint64> rows = MemberStore(address).rowCount();
        if (!rows || *rows != count) {
            QTextStream(stderr) << "generating " << address.displayName() << "...\n";
            administer(QStringLiteral("DROP DATABASE IF EXISTS ") + name);
            administer(QStringLiteral("CREATE DATABASE ") + name);
            GeneratorOptions options;
            options.members = count;
            if (const StoreResult<void> done = generateMembers(address, options); !done)
                qFatal("%s", qUtf8Printable(done.error().toString()));
        }
        return address;
    }

    // A copy of them to write to, made once per run.
    StoreAddress working(int count) const
    {
        if (!server)
            return StoreAddress::file(workingCopy(count));
        const QString name = QStringLiteral("socios_bench_%1_work_%2").arg(count).arg(QString::fromStdString(label));
        if (!s_made.contains(name)) {
            const StoreAddress source = members(count);
            administer(QStringLiteral("DROP DATABASE IF EXISTS ") + name);
            administer(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2 STRATEGY FILE_COPY")
                           .arg(name, source.parameter(QStringLiteral("dbname"))));
            s_made.insert(name);
        }
        return database(name);
    }

    void dropCopies() const
    {
        for (const QString& name : std::as_const(s_made))
            administer(QStringLiteral("DROP DATABASE IF EXISTS ") + name);
        s_made.clear();
    }

    static inline QSet<QString> s_made;
};

// Times each operation on its own and reports, besides the mean, the median and the 99th percentile.
class Latencies
{
public:
    explicit Latencies(benchmark::State& state) : m_state(state) {}
    ~Latencies()
    {
        if (m_times.empty())
            return;
        std::sort(m_times.begin(), m_times.end());
        const auto at = [&](double share) {
            return double(m_times[std::min(m_times.size() - 1, std::size_t(share * double(m_times.size())))]) / 1e6;
        };
        m_state.counters["p50_ms"] = at(0.50);
        m_state.counters["p99_ms"] = at(0.99);
    }

    // Runs `operation` and records how long it took.
    template <typename Operation> void time(Operation operation)
    {
        QElapsedTimer timer;
        timer.start();
        operation();
        const qint64 nanoseconds = timer.nsecsElapsed();
        m_times.push_back(nanoseconds);
        m_state.SetIterationTime(double(nanoseconds) / 1e9);
    }

private:
    benchmark::State& m_state;
    std::vector<qint64> m_times;
};

void latencyLookup(benchmark::State& state, BenchStore where, int members, bool present)
{
    const MemberStore store(where.members(members));
    QRandomGenerator random(17);
    Latencies latencies(state);
    for (auto _ : state) {
        const int index = present ? int(random.bounded(members)) : members + int(random.bounded(1000));
        latencies.time([&] {
            const auto rows = store.rowsWithCard(generatedCard(index));
            if (!rows || rows->empty() == present)
                state.SkipWithError("wrong lookup result");
        });
    }
}

void latencyAppend(benchmark::State& state, BenchStore where, int members, int firstNew)
{
    const MemberStore store(where.working(members));
    MemberRecord record;
    for (Field f : allFields())
        record[f] = QStringLiteral("Nuevo socio");
    Latencies latencies(state);
    int next = firstNew;
    for (auto _ : state) {
        record.ntarjeta = generatedCard(next++);
        latencies.time([&] {
            const StoreResult<bool> added = store.appendNew(record);
            if (!added || !*added)
                state.SkipWithError("append failed");
        });
    }
}

void latencyRewrite(benchmark::State& state, BenchStore where, int members)
{
    const MemberStore store(where.working(members));
    QRandomGenerator random(19);
    MemberRecord record;
    for (Field f : allFields())
        record[f] = QStringLiteral("Socio cambiado");
    Latencies latencies(state);
    for (auto _ : state) {
        record.ntarjeta = generatedCard(int(random.bounded(members)));
        const auto shown = store.rowsWithCard(record.ntarjeta); // the lookup that showed the member: not timed
        if (!shown || shown->empty()) {
            state.SkipWithError("lookup failed");
            break;
        }
        latencies.time([&] {
            const auto written = store.rewrite(shown->front(), record);
            if (!written || written->outcome != MemberStore::Rewrite::Outcome::Written)
                state.SkipWithError("rewrite failed");
        });
    }
}

void latencyPoints(benchmark::State& state, BenchStore where, int members)
{
    const MemberStore store(where.working(members));
    QRandomGenerator random(23);
    Latencies latencies(state);
    for (auto _ : state) {
        const QString card = generatedCard(int(random.bounded(members)));
        latencies.time([&] {
            const auto stored =
                store.changePoints(card, [](const QString& now) { return std::optional<QString>(Str(Val(now) + 1)); });
            if (!stored || stored->outcome != MemberStore::PointsChange::Outcome::Written)
                state.SkipWithError("points change failed");
        });
    }
}

void latencyStartup(benchmark::State& state, BenchStore where, int members)
{
    const MemberStore store(where.members(members));
    const FixedClock clock(kToday);
    Latencies latencies(state);
    for (auto _ : state) {
        latencies.time([&] {
            Form1 form;
            if (!form.load(store, clock).ok())
                state.SkipWithError("start-up failed");
        });
    }
}

// Prints, after the usual table, how many times faster each fast path is than the straightforward way.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
                m_times[run.run_name.function_name] = run.GetAdjustedRealTime() *
                                                      benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond) /
                                                      benchmark::GetTimeUnitMultiplier(run.time_unit);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        auto& out = GetOutputStream();
        out << "\nstraightforward way / fast path, and card pass / floor (real time):\n";
        for (const auto& [name, fast] : m_times) {
            for (const auto& [fastName, slowName] :
                 {std::pair<std::string, std::string>{"lookup/present/", "lookup/read-every-row/"},
                  {"lookup/floor/", "lookup/present/"},
                  {"startup/", "startup/read-every-row/"}}) {
                if (name.rfind(fastName, 0) != 0 || name.find("read-every-row") != std::string::npos)
                    continue;
                const std::string size = name.substr(fastName.size());
                const auto slow = m_times.find(slowName + size);
                if (slow != m_times.end() && fast > 0)
                    out << "  " << name << ": " << slow->second / fast << " x\n";
            }
        }
    }

private:
    std::map<std::string, double> m_times;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes = {1'000, 100'000, 1'000'000};
    g_dataDir = QDir::tempPath() + QStringLiteral("/socios-bench");
    std::vector<BenchStore> stores = {{"sqlite", std::nullopt}};
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg.startsWith(QLatin1String("--sizes="))) {
            sizes.clear();
            for (const QString& size : arg.mid(8).split(QLatin1Char(',')))
                sizes << size.toInt();
        } else if (arg.startsWith(QLatin1String("--data="))) {
            g_dataDir = arg.mid(7);
        } else if (arg.startsWith(QLatin1String("--server="))) {
            const QString label = arg.mid(9).section(QLatin1Char('='), 0, 0);
            QString error;
            const std::optional<StoreAddress> server =
                StoreAddress::parse(arg.mid(9).section(QLatin1Char('='), 1), &error);
            if (label.isEmpty() || !server || !server->isServer())
                qFatal("--server=LABEL=URI: %s", qUtf8Printable(error.isEmpty() ? arg : error));
            stores.push_back({label.toStdString(), server});
        } else {
            rest.push_back(argv[i]);
        }
    }
    QDir().mkpath(g_dataDir);
    QTemporaryDir workDir;
    g_workDir = &workDir;

    for (int n : sizes) {
        const std::string size = std::to_string(n);
        const int fullReads = n >= 100'000 ? 2 : 50;
        auto add = [&](const std::string& name, auto function, auto... args) {
            return benchmark::RegisterBenchmark((name + size).c_str(), function, args...)
                ->Unit(benchmark::kMillisecond)
                ->ReportAggregatesOnly(true);
        };
        add("lookup/present/", lookup, n, true)->Repetitions(5);
        add("lookup/absent/", lookup, n, false)->Repetitions(5);
        add("lookup/floor/", lookupFloor, n)->Repetitions(5);
        add("lookup/read-every-row/", lookupByReadingEveryRow, n)->Iterations(fullReads)->Repetitions(3);
        add("startup/", startup, n)->Repetitions(5);
        add("startup/read-every-row/", startupReadingEveryRow, n)->Iterations(fullReads)->Repetitions(3);
        add("append/", append, n)->UseRealTime()->Repetitions(3);
        add("rewrite/", rewrite, n)->UseRealTime()->Repetitions(3);
        add("points/", changePoints, n)->UseRealTime()->Repetitions(3);
        add("while-another-program-reads/", whileAnotherProgramReads, n)->UseRealTime()->Iterations(200);
        add("save-after-lock-released/", saveAfterLockReleased, n)->UseManualTime()->Iterations(20)->Repetitions(3);
        add("first-start-unindexed/", firstStartUnindexed, n)->UseManualTime()->Iterations(1)->Repetitions(3);
        add("application/", applicationStart, n, false)->UseManualTime()->Iterations(3)->Repetitions(3);
        add("application/cold-file/", applicationStart, n, true)->UseManualTime()->Iterations(3)->Repetitions(3);
    }
    // The latency family: the engines side by side, one size after the other.
    for (int n : sizes) {
        const std::string size = std::to_string(n);
        for (std::size_t i = 0; i < stores.size(); ++i) {
            const BenchStore& where = stores[i];
            auto add = [&](const std::string& name, auto function, auto... args) {
                return benchmark::RegisterBenchmark(("latency/" + where.label + '/' + name + size).c_str(), function,
                                                    args...)
                    ->Unit(benchmark::kMillisecond)
                    ->UseManualTime();
            };
            add("lookup/present/", latencyLookup, where, n, true)->Iterations(2000);
            add("lookup/absent/", latencyLookup, where, n, false)->Iterations(2000);
            // New card numbers of their own for each store: the member files' copy is shared with append/.
            add("append/", latencyAppend, where, n, n + 200'000 + 10'000 * int(i))->Iterations(500);
            add("rewrite/", latencyRewrite, where, n)->Iterations(500);
            add("points/", latencyPoints, where, n)->Iterations(500);
            add("startup/", latencyStartup, where, n)->Iterations(20);
        }
    }

    int restCount = int(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const BenchStore& where : stores)
        if (where.server)
            where.dropCopies();
    return 0;
}
