#include "tests/support/TestSupport.h"

#include "tests/support/TestStore.h"

#include "store/MemberStore.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

char* toString(const MemberRecord& record)
{
    QStringList fields;
    for (Field f : allFields())
        fields << QStringLiteral("%1=\"%2\"").arg(QLatin1String(fieldName(f)), record[f].left(40));
    return qstrdup(qUtf8Printable(fields.join(QLatin1String(", "))));
}

QString FakePrompt::inputBox(const QString& prompt, const QString& title, int leftTwips, int topTwips)
{
    lastPrompt = prompt;
    lastTitle = title;
    lastPosition = QPoint(leftTwips, topTwips);
    if (m_inspect)
        m_inspect(m_asked);
    ++m_asked;
    if (m_answers.isEmpty()) {
        QTest::qFail("the prompt ran out of answers", __FILE__, __LINE__);
        return QStringLiteral("*");
    }
    return m_answers.takeFirst();
}

MemberRecord sampleMember(const QString& card, const QString& nombre, const QString& fnacimiento)
{
    // Aggregate initialisation in parentheses: one argument per field, in column order.
    return MemberRecord(card, "S-" + card, nombre, "Ruiz Gómez", "Plaza Mayor 3", "28013", "Madrid", "915 555 123",
                        "ana@example.es", fnacimiento, "Prefiere el café sin azúcar", " 150", "06/2027");
}

QString createMemberFile(const QTemporaryDir& dir, const QList<MemberRecord>& rows)
{
    const QString path = dir.filePath(QStringLiteral("MIS PROGRAMAS/dorvel.mdb"));
    const MemberStore store(path);
    StoreResult<void> made = store.openOrCreate();
    for (const MemberRecord& row : rows)
        if (made)
            made = store.append(row);
    if (!made)
        qFatal("cannot create the member file: %s", qUtf8Printable(made.error().toString()));
    return path;
}

QString memberFileFromFixture(const QTemporaryDir& dir, const QString& script)
{
    const QString path = createMemberFile(dir);
    QFile file(testDataPath(script));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qUtf8Printable(file.fileName()));
    execSql(path, QString::fromUtf8(file.readAll()));
    return path;
}

QList<QStringList> execSql(const QString& path, const QString& sql)
{
    return execSql(StoreAddress::file(path), sql);
}

QList<QStringList> execSql(const StoreAddress& store, const QString& sql)
{
    QList<QStringList> rows;
    const QString name = QStringLiteral("test-support");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(store.isServer() ? "QPSQL" : "QSQLITE", name);
        if (store.isServer())
            db.setConnectOptions(store.connectOptions());
        else
            db.setDatabaseName(store.path());
        if (!db.open())
            qFatal("cannot open %s: %s", qUtf8Printable(store.displayName()), qUtf8Printable(db.lastError().text()));
        QSqlQuery query(db);
        QStringList lines = sql.split(QLatin1Char('\n'));
        lines.removeIf([](const QString& line) { return line.trimmed().startsWith(QLatin1String("--")); });
        for (const QString& statement : lines.join(QLatin1Char('\n')).split(QLatin1String(";\n")))
            if (!statement.trimmed().isEmpty() && !query.exec(statement))
                qFatal("%s: %s", qUtf8Printable(statement), qUtf8Printable(query.lastError().text()));
        while (query.next()) {
            QStringList& row = rows.emplace_back();
            for (int i = 0; i < query.record().count(); ++i)
                row << query.value(i).toString();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

QList<MemberRecord> allRows(const QString& path)
{
    QStringList names;
    for (Field f : allFields())
        names << QLatin1String(fieldName(f));
    QList<MemberRecord> rows;
    for (const QStringList& values : execSql(path, "SELECT " + names.join(',') + " FROM ficha ORDER BY _rowid_")) {
        MemberRecord& row = rows.emplace_back();
        for (Field f : allFields())
            row[f] = values[int(f)];
    }
    return rows;
}

bool makeReadOnly(const QString& path, QList<QStringList>& undoes)
{
#ifdef Q_OS_UNIX
    // chattr as root, for whom permission bits do not count; permission bits otherwise.
    const bool root = geteuid() == 0;
    undoes << (root ? QStringList{"chattr", "-i", path} : QStringList{"chmod", "u+w", path});
    return QProcess::execute(root ? "chattr" : "chmod", {root ? "+i" : "a-w", path}) == 0;
#else
    Q_UNUSED(path);
    Q_UNUSED(undoes);
    return false;
#endif
}

bool mountSmallDisk(const QString& folder, const QString& size, QList<QStringList>& undoes)
{
#ifdef Q_OS_LINUX
    if (!QDir().mkpath(folder) ||
        QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=" + size, "tmpfs", folder}) != 0)
        return false;
    undoes << QStringList{"umount", folder};
    return true;
#else
    Q_UNUSED(folder);
    Q_UNUSED(size);
    Q_UNUSED(undoes);
    return false;
#endif
}

void fillDisk(const QString& filler)
{
    QFile file(filler);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        qFatal("cannot write %s", qPrintable(filler));
    const QByteArray block(4096, 'x');
    while (file.write(block) > 0) {
    }
}

namespace {

// HOME goes through the helper as bytes: QProcessEnvironment takes only names that are UTF-8. A wrapper (strace)
// runs the helper, and follows it into the program.
void startSocios(QProcess& process, const std::optional<QByteArray>& home, const QStringList& arguments,
                 const QStringList& wrapper, bool offscreen, const QStringList& locale = kEnglishLocale)
{
    QProcessEnvironment environment;
    for (const QString& variable : locale)
        environment.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    if (offscreen)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // A build with sanitizers: the leak check cannot run under a tracer (strace), and stops the program there.
    if (!wrapper.isEmpty())
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    process.setProcessEnvironment(environment);
    const QStringList command = QStringList{qEnvironmentVariable("SOCIOS_TEST_HELPER"), QStringLiteral("home"),
                                            home ? QString::fromLatin1(home->toHex()) : QStringLiteral("-"),
                                            qEnvironmentVariable("SOCIOS_APP")} +
                                arguments;
    const QStringList whole = wrapper + command;
    process.start(whole.first(), whole.mid(1));
}

} // namespace

void startCommandLine(QProcess& process, const QString& home, const QStringList& arguments, const QStringList& wrapper)
{
    startSocios(process, QFile::encodeName(home), arguments, wrapper, false);
}

SociosRun runCommandLine(const QString& home, const QStringList& arguments, const QStringList& wrapper,
                         const QStringList& locale)
{
    return runSocios(QFile::encodeName(home), arguments, {}, wrapper, locale);
}

SociosRun runSocios(const std::optional<QByteArray>& home, const QStringList& arguments, const QString& until,
                    const QStringList& wrapper, const QStringList& locale)
{
    QProcess process;
    startSocios(process, home, arguments, wrapper, !until.isEmpty(), locale);
    QString err;
    if (!until.isEmpty()) {
        process.setReadChannel(QProcess::StandardError);
        const QDeadlineTimer deadline(60000);
        while (!err.contains(until) && process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            process.waitForReadyRead(100);
            err += QString::fromUtf8(process.readAllStandardError());
        }
        process.kill();
    }
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, QString::fromUtf8(process.readAllStandardOutput()),
                err + QString::fromUtf8(process.readAllStandardError())};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            err + QString::fromUtf8(process.readAllStandardError())};
}

QString testDataPath(const QString& name)
{
    return qEnvironmentVariable("SOCIOS_TEST_DATA") + QLatin1Char('/') + name;
}

QByteArray accessFileWithLongCards()
{
    QByteArray bytes = fileBytes(testDataPath(QStringLiteral("ficha-jet4.mdb")));
    const auto name = [](const char16_t* text) {
        return QByteArray(reinterpret_cast<const char*>(text), 16); // eight UTF-16 characters, as Jet 4 stores them
    };
    const QByteArray card = name(u"ntarjeta");
    const QByteArray telephone = name(u"telefono");
    const qsizetype cardAt = bytes.indexOf(card);
    const qsizetype telephoneAt = bytes.indexOf(telephone);
    if (cardAt < 0 || telephoneAt < 0)
        qFatal("the Jet 4 fixture has no column ntarjeta or telefono");
    bytes.replace(cardAt, 16, telephone);
    bytes.replace(telephoneAt, 16, card);
    return bytes;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMap<QString, QByteArray> folderContents(const QString& folder)
{
    QMap<QString, QByteArray> contents;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        contents.insert(QDir(folder).relativeFilePath(path), it.fileInfo().isFile() ? fileBytes(path) : "(other)");
    }
    return contents;
}
