#include "tests/support/TestSupport.h"

#include "store/MemberStore.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Runs `work` on a connection of its own to `path`; setup failures end the test run at once.
template <typename Work> void withDatabase(const QString& path, Work work)
{
    const QString name = QStringLiteral("test-support");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s: %s", qUtf8Printable(path), qUtf8Printable(db.lastError().text()));
        work(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

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
    MemberRecord r;
    r.ntarjeta = card;
    r.nsocio = QStringLiteral("S-") + card;
    r.nombre = nombre;
    r.apellidos = QStringLiteral("Ruiz Gómez");
    r.calle = QStringLiteral("Plaza Mayor 3");
    r.cp = QStringLiteral("28013");
    r.ciudad = QStringLiteral("Madrid");
    r.telefono = QStringLiteral("915 555 123");
    r.email = QStringLiteral("ana@example.es");
    r.fnacimiento = fnacimiento;
    r.observaciones = QStringLiteral("Prefiere el café sin azúcar");
    r.puntos = QStringLiteral(" 150");
    r.fcaducidad = QStringLiteral("06/2027");
    return r;
}

QString createMemberFile(const QTemporaryDir& dir, const QList<MemberRecord>& rows)
{
    const QString path = dir.filePath(QStringLiteral("MIS PROGRAMAS/dorvel.mdb"));
    const MemberStore store(path);
    StoreStatus failure = store.openOrCreate();
    for (const MemberRecord& row : rows)
        if (!failure)
            failure = store.append(row);
    if (failure)
        qFatal("cannot create the member file: %s", qUtf8Printable(failure->toString()));
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

void execSql(const QString& path, const QString& sql)
{
    withDatabase(path, [&](QSqlDatabase& db) {
        QSqlQuery query(db);
        // One statement per line or group of lines, each ending with ';' at the end of a line.
        QStringList lines = sql.split(QLatin1Char('\n'));
        lines.removeIf([](const QString& line) { return line.trimmed().startsWith(QLatin1String("--")); });
        for (const QString& statement : lines.join(QLatin1Char('\n')).split(QLatin1String(";\n"))) {
            if (statement.trimmed().isEmpty())
                continue;
            if (!query.exec(statement))
                qFatal("%s: %s", qUtf8Printable(statement), qUtf8Printable(query.lastError().text()));
        }
    });
}

QList<MemberRecord> allRows(const QString& path)
{
    QList<MemberRecord> rows;
    withDatabase(path, [&](QSqlDatabase& db) {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT * FROM ficha ORDER BY rowid")))
            qFatal("cannot read ficha: %s", qUtf8Printable(query.lastError().text()));
        while (query.next()) {
            MemberRecord row;
            for (Field f : allFields())
                row[f] = query.value(QLatin1String(fieldName(f))).toString();
            rows.append(row);
        }
    });
    return rows;
}

QStringList indexNames(const QString& path)
{
    QStringList names;
    withDatabase(path, [&](QSqlDatabase& db) {
        QSqlQuery query(db);
        query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'ficha' "
                                  "ORDER BY name"));
        while (query.next())
            names << query.value(0).toString();
    });
    return names;
}

QString testDataPath(const QString& name)
{
    return qEnvironmentVariable("SOCIOS_TEST_DATA") + QLatin1Char('/') + name;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
