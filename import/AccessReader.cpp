#include "import/AccessReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif
#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

// AddressSanitizer reserves far more address space than any limit on it allows: a sanitized build leaves the
// reader's memory to the time limit.
#if defined(__SANITIZE_ADDRESS__)
#define SOCIOS_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOCIOS_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

const QString kProgramName = QStringLiteral("socios-mdb-reader");

// Only what the reader needs, set as socios expects it: the variables that change how libmdb reads a file
// (MDBPATH, MDBOPTS, MDBICONV, MDB_JET3_CHARSET) and the locale that numbers and dates would follow.
QProcessEnvironment readerEnvironment()
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.insert(QStringLiteral("MDB_JET3_CHARSET"), QStringLiteral("CP1252"));
    const QProcessEnvironment mine = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"})
        if (mine.contains(QLatin1String(name)))
            environment.insert(QLatin1String(name), mine.value(QLatin1String(name)));
    return environment;
}

} // namespace

AccessReader::AccessReader(QString program) : m_program(std::move(program)) {}

QString AccessReader::defaultProgram()
{
    const QString configured = qEnvironmentVariable("SOCIOS_MDB_READER");
    if (!configured.isEmpty())
        return configured;
    const QDir here(QCoreApplication::applicationDirPath());
    const QString beside = here.filePath(kProgramName);
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QDir::cleanPath(here.filePath(QStringLiteral("../libexec/socios/") + kProgramName));
}

ImportResult<AccessTableHead> AccessReader::readHead(const QString& file, const QString& table) const
{
    ReaderOutput output(file, true, {}, {});
    if (ImportResult<void> done = run(file, table, output, {}); !done)
        return done.error();
    return output.head();
}

ImportResult<void> AccessReader::read(const QString& file, const QString& table,
                                      const ReaderOutput::HeadVisitor& onHead, const ReaderOutput::RowVisitor& onRow,
                                      const Progress& progress) const
{
    ReaderOutput output(file, false, onHead, onRow);
    return run(file, table, output, progress);
}

ImportResult<void> AccessReader::run(const QString& file, const QString& table, ReaderOutput& output,
                                     const Progress& progress) const
{
    const auto failure = [&](ImportError::Kind kind, const QString& detail) {
        return ImportError{kind, file, detail, std::nullopt};
    };
    if (!QFileInfo(m_program).isExecutable())
        return failure(ImportError::Kind::NoReader, m_program + QStringLiteral(" is missing"));

    const qint64 bytes = QFileInfo(file).size();
    const qint64 timeLimit = timeLimitMs(bytes);
    const qint64 outputCap = outputLimit(bytes);
    QProcess process;
    process.setProgram(m_program);
    process.setArguments(output.headOnly() ? QStringList{QStringLiteral("--header-only"), file, table}
                                           : QStringList{file, table});
    process.setProcessEnvironment(readerEnvironment());
    process.setStandardErrorFile(QProcess::nullDevice()); // libmdb's warnings: the output's account is what counts
#ifdef Q_OS_UNIX
    const rlim_t memory = rlim_t(memoryLimit(bytes));
    const rlim_t cpuSeconds = rlim_t(timeLimit / 1000 + 1);
    process.setChildProcessModifier([memory, cpuSeconds] {
        // Between fork and exec: async-signal-safe calls only.
        struct rlimit limit = {0, 0};
        setrlimit(RLIMIT_CORE, &limit);
        setrlimit(RLIMIT_FSIZE, &limit); // it writes to its pipe, never to a file
#ifndef SOCIOS_ADDRESS_SANITIZER
        limit = {memory, memory};
        setrlimit(RLIMIT_AS, &limit);
#else
        (void)memory;
#endif
        // Ends it even if socios itself is killed meanwhile. The signal comes when the thread that started the
        // reader ends (an import's worker thread): the reader is started and waited for within this one call.
        limit = {cpuSeconds, cpuSeconds + 1};
        setrlimit(RLIMIT_CPU, &limit);
#ifdef Q_OS_LINUX
        prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    });
#endif
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(10000))
        return failure(ImportError::Kind::NoReader, process.errorString());

    const auto stop = [&](ImportError error) {
        process.kill();
        process.waitForFinished(5000);
        return error;
    };
    QElapsedTimer total;
    QElapsedTimer silence;
    total.start();
    silence.start();
    qint64 written = 0;
    qint64 rowsReported = -1;
    for (bool running = true; running;) {
        // Once the reader has ended, everything it wrote is buffered: one last pass takes it.
        running = process.state() != QProcess::NotRunning;
        const QByteArray chunk = process.readAllStandardOutput();
        if (!chunk.isEmpty()) {
            silence.restart();
            written += chunk.size();
            if (written > outputCap)
                return stop(failure(ImportError::Kind::Damaged,
                                    QStringLiteral("the reader wrote more than %1 bytes").arg(outputCap)));
            if (ImportResult<void> done = output.feed(chunk); !done)
                return stop(done.error());
            if (progress && output.rowsRead() != rowsReported) {
                rowsReported = output.rowsRead();
                progress(rowsReported, output.head().rows);
            }
        }
        if (!running)
            break;
        if (silence.elapsed() > silenceLimitMs())
            return stop(failure(ImportError::Kind::Damaged,
                                QStringLiteral("the reader wrote nothing for %1 s").arg(silenceLimitMs() / 1000)));
        if (total.elapsed() > timeLimit)
            return stop(failure(ImportError::Kind::Damaged,
                                QStringLiteral("the reader did not finish within %1 s").arg(timeLimit / 1000)));
        process.waitForReadyRead(100);
    }

    if (process.exitStatus() != QProcess::NormalExit)
        return output.reportedError().value_or(
            failure(ImportError::Kind::Damaged, QStringLiteral("the reader crashed on it")));
    if (process.exitCode() != 0 && !output.reportedError())
        return failure(ImportError::Kind::Damaged,
                       QStringLiteral("the reader stopped with exit code %1").arg(process.exitCode()));
    return output.finish();
}
