#include "tools/MemberGenerator.h"

#include "store/MemberRecord.h"
#include "store/MemberStore.h"
#include "store/Schema.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const char* const kFirstNames[] = {
    "Ana",     "José Antonio", "María del Carmen",
    "Íñigo",   "Begoña",       "Lucía",
    "Nuria",   "Jesús",        "Álvaro",
    "Sofía",   "Martín",       "Noelia",
    "Ramón",   "Elena",        "Iñaki",
    "Pilar",   "Germán",       "Mónica",
    "Raúl",    "Concepción",   "Ángel",
    "Inés",    "Óscar",        "Rocío",
    "Joaquín", "Verónica",     "Adrián",
    "Maite",   "Sebastián",    "Ainhoa",
    "Tomás",   "Araceli",
};
const char* const kSurnames[] = {
    "García",       "Fernández", "González",
    "Rodríguez",    "López",     "Martínez",
    "Sánchez",      "Pérez",     "Gómez",
    "Martín",       "Jiménez",   "Ruiz",
    "Hernández",    "Díaz",      "Moreno",
    "Muñoz",        "Álvarez",   "Romero",
    "Alonso",       "Gutiérrez", "Navarro",
    "Torres",       "Domínguez", "Vázquez",
    "Ramos",        "Gil",       "Ramírez",
    "Serrano",      "Blanco",    "Molina",
    "Morales",      "Suárez",    "Ortega",
    "Delgado",      "Castro",    "Ortiz",
    "Rubio",        "Marín",     "Sanz",
    "Núñez",        "Iglesias",  "Medina",
    "Garrido",      "Cortés",    "Castillo",
    "Santos",       "Lozano",    "Guerrero",
    "Cano",         "Prieto",    "Méndez",
    "Cruz",         "Calvo",     "Gallego",
    "Vidal",        "León",      "Márquez",
    "Herrera",      "Peña",      "Flores",
    "Cabrera",      "Campos",    "Vega",
    "Ibáñez",       "Larrañaga", "Oñate",
    "Peñalver",     "Acuña",     "Fernández-Ibáñez",
    "de la Fuente",
};
struct Town
{
    const char* name;
    const char* province;
};
const Town kTowns[] = {
    {"Madrid", "28"},
    {"Barcelona", "08"},
    {"València", "46"},
    {"Sevilla", "41"},
    {"Zaragoza", "50"},
    {"Málaga", "29"},
    {"Murcia", "30"},
    {"Palma", "07"},
    {"Córdoba", "14"},
    {"Valladolid", "47"},
    {"Vigo", "36"},
    {"Gijón", "33"},
    {"A Coruña", "15"},
    {"Logroño", "26"},
    {"Cáceres", "10"},
    {"Ávila", "05"},
    {"León", "24"},
    {"Donostia", "20"},
    {"Almería", "04"},
    {"Jaén", "23"},
    {"Peñíscola", "12"},
    {"Alcalá de Henares", "28"},
    {"Vitoria-Gasteiz", "01"},
    {"Castellón de la Plana", "12"},
};
const char* const kStreets[] = {
    "Calle Mayor", "Avenida de la Constitución", "Plaza de España", "Calle Real",          "Paseo de la Castellana",
    "Calle Nueva", "Camino de Santiago",         "Calle del Olivo", "Travesía de la Peña", "Ronda de Segovia",
};
// Balances as the application writes them: typed, after an addition (leading blank), after a reset.
const char* const kBalances[] = {" 150", "150", "0", "-5", " 17.5", "*****", " .5", " 1200", "35", " 0"};
// Birth texts that only outside changes leave.
const char* const kOddBirths[] = {"5/3/1980",   "",           "31/04/1990", "29/02/1991",  "ab/cd/efgh",
                                  "12/03",      "12/03/",     "1203",       " 12/03/1980", "12/3/1980",
                                  "00/03/1990", "12/00/1990", "29/02/2000", "01/01/1970",  "31/12/1969"};

QString fieldList()
{
    QStringList names;
    for (Field f : allFields())
        names << QLatin1String(fieldName(f));
    return names.join(QLatin1String(", "));
}

template <std::size_t N> QStringList texts(const char* const (&items)[N])
{
    QStringList list;
    for (const char* item : items)
        list << QString::fromUtf8(item);
    return list;
}

// What differs between the engines' SQL: SQLite's printf() and strftime() against PostgreSQL's lpad() and to_char().
struct Dialect
{
    bool postgres = false;
    quint32 seed = 1;

    // The decimal digits of a nonnegative number, with leading zeros up to `width`.
    QString zeroPadded(const QString& number, int width) const
    {
        return postgres ? QStringLiteral("lpad((%1)::text, %2, '0')").arg(number).arg(width)
                        : QStringLiteral("printf('%0") + QString::number(width) + QStringLiteral("d', ") + number +
                              QLatin1Char(')');
    }
    // dd/mm/yyyy of the day `days` after 1 January 1930.
    QString dateAfter1930(const QString& days) const
    {
        return postgres ? QStringLiteral("to_char(date '1930-01-01' + (%1)::int, 'DD/MM/YYYY')").arg(days)
                        : QStringLiteral("strftime('%d/%m/%Y', '1930-01-01', '+' || ") + days +
                              QStringLiteral(" || ' days')");
    }
};

// A pseudo-random number from 0 to modulo - 1 for member `i` (an SQL expression), different for each salt.
QString hash(const Dialect& dialect, int salt, int modulo)
{
    // Built by concatenation: the SQL holds '%' signs that QString::arg would take for its own markers.
    return QStringLiteral("((((n.i + 1) * 2654435761 + ") + QString::number(salt) + QStringLiteral(" * 40503 + ") +
           QString::number(dialect.seed) + QStringLiteral(" * 7919) % 4294967291) % ") + QString::number(modulo) +
           QLatin1Char(')');
}

QString orEmptyMark(const Dialect& d, const QString& value, int salt, int percentEmpty)
{
    return QStringLiteral("CASE WHEN ") + hash(d, salt, 100) + QStringLiteral(" < ") + QString::number(percentEmpty) +
           QStringLiteral(" THEN '*****' ELSE ") + value + QStringLiteral(" END");
}

// Picks a value of a lookup table for member `i`, or the empty mark `percentEmpty` times in a hundred.
QString pick(const Dialect& d, const QString& table, int size, int salt, int percentEmpty = 0)
{
    const QString value = QStringLiteral("(SELECT v FROM ") + table + QStringLiteral(" WHERE id = ") +
                          hash(d, salt, size) + QLatin1Char(')');
    return percentEmpty ? orEmptyMark(d, value, salt + 100, percentEmpty) : value;
}

// The whole generating statement: every row is made by the database engine from member numbers 0 to
// `members` - 1, which keeps a million members to seconds.
QString insertStatement(const Dialect& d, int members, bool oddities, int oddBirths)
{
    const QString birthRoll = hash(d, 10, 1000);
    const QString birth = QStringLiteral("CASE WHEN ") + birthRoll + QStringLiteral(" < 40 THEN '*****' WHEN ") +
                          birthRoll + QStringLiteral(" < 80 THEN '00/00/0000' WHEN ") + birthRoll +
                          QStringLiteral(" < 100 THEN '00/00/' || (1930 + ") + hash(d, 11, 80) + QStringLiteral(") ") +
                          (oddities ? QStringLiteral("WHEN ") + birthRoll +
                                          QStringLiteral(" < 160 THEN (SELECT v FROM odd_births WHERE id = ") +
                                          hash(d, 12, oddBirths) + QStringLiteral(") ")
                                    : QString()) +
                          QStringLiteral("ELSE ") + d.dateAfter1930(hash(d, 13, 29000)) + QStringLiteral(" END");
    const QStringList columns = {
        QStringLiteral("CAST(1000 + ((n.i * 1000003 + 4242) % 9999000) AS TEXT)"),
        orEmptyMark(d, QStringLiteral("CAST(n.i + 1 AS TEXT)"), 1, 10),
        pick(d, QStringLiteral("first_names"), int(std::size(kFirstNames)), 2, 2),
        orEmptyMark(d,
                    pick(d, QStringLiteral("surnames"), int(std::size(kSurnames)), 3) + QStringLiteral(" || ' ' || ") +
                        pick(d, QStringLiteral("surnames"), int(std::size(kSurnames)), 4),
                    5, 3),
        orEmptyMark(d,
                    pick(d, QStringLiteral("streets"), int(std::size(kStreets)), 6) +
                        QStringLiteral(" || ' ' || (1 + ") + hash(d, 7, 120) + QStringLiteral(") || ', ' || (1 + ") +
                        hash(d, 8, 8) + QStringLiteral(") || 'º'"),
                    9, 15),
        orEmptyMark(d,
                    QStringLiteral("(SELECT province FROM towns WHERE id = ") + hash(d, 20, int(std::size(kTowns))) +
                        QStringLiteral(") || ") + d.zeroPadded(hash(d, 21, 1000), 3),
                    22, 15),
        orEmptyMark(d,
                    QStringLiteral("(SELECT v FROM towns WHERE id = ") + hash(d, 20, int(std::size(kTowns))) +
                        QLatin1Char(')'),
                    23, 10),
        orEmptyMark(d, QStringLiteral("'6' || ") + d.zeroPadded(hash(d, 24, 100000000), 8), 25, 20),
        orEmptyMark(d, QStringLiteral("'socio' || n.i || '@example.es'"), 26, 40),
        birth,
        orEmptyMark(d, QStringLiteral("'Prefiere que le avisen por teléfono'"), 27, 85),
        pick(d, QStringLiteral("balances"), int(std::size(kBalances)), 28),
        QStringLiteral("CASE WHEN ") + hash(d, 29, 4) + QStringLiteral(" = 0 THEN '00/0000' ELSE ") +
            d.zeroPadded(QStringLiteral("1 + ") + hash(d, 30, 12), 2) + QStringLiteral(" || '/' || (2025 + ") +
            hash(d, 31, 6) + QStringLiteral(") END"),
    };
    const QString insert = QStringLiteral("INSERT INTO ficha (") + fieldList() + QStringLiteral(") SELECT ") +
                           columns.join(QLatin1String(", "));
    const QString count = QString::number(members);
    if (d.postgres)
        return insert + QStringLiteral(" FROM generate_series(0::bigint, ") + count + QStringLiteral(" - 1) AS n(i)");
    return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ") + count +
           QStringLiteral(") ") + insert + QStringLiteral(" FROM n");
}

} // namespace

QString generatedCard(int index)
{
    // A step prime to the range makes every index up to the range's size a different number of 4 to 7 digits.
    constexpr qint64 kFirst = 1000, kRange = 10'000'000 - kFirst, kStep = 1'000'003;
    return QString::number(kFirst + (qint64(index) * kStep + 4242) % kRange);
}

StoreResult<void> generateMemberFile(const QString& path, const GeneratorOptions& options)
{
    if (QFile::exists(path))
        return StoreError{StoreError::Kind::Create, path, QStringLiteral("the file exists already")};
    return generateMembers(StoreAddress::file(path), options);
}

StoreResult<void> generateMembers(const StoreAddress& store, const GeneratorOptions& options)
{
    const QString name = store.displayName();
    if (StoreResult<void> done = MemberStore(store).openOrCreate(); !done)
        return done;
    const StoreResult<qint64> rows = MemberStore(store).rowCount();
    if (!rows)
        return rows.error();
    if (*rows > 0)
        return StoreError{StoreError::Kind::Create, name, QStringLiteral("the store holds members already")};

    Dialect dialect;
    dialect.postgres = store.isServer();
    dialect.seed = options.seed;
    const QString connection = QStringLiteral("socios-generator");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            dialect.postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), connection);
        if (dialect.postgres)
            db.setConnectOptions(store.connectOptions());
        else
            db.setDatabaseName(store.path());
        QSqlQuery query(db);
        auto exec = [&](const QString& sql, const QVariantList& values = {}) {
            if (!error.isEmpty())
                return;
            bool done = query.prepare(sql);
            for (int i = 0; done && i < values.size(); ++i)
                query.bindValue(i, values[i]);
            if (!done || !query.exec())
                error = query.lastError().text() + QStringLiteral(" in: ") + sql.left(200);
        };
        auto fill = [&](const QString& table, const QStringList& values, const QStringList& extra = {}) {
            exec(QStringLiteral("CREATE TEMP TABLE %1 (id INTEGER PRIMARY KEY, v TEXT, province TEXT)").arg(table));
            for (int i = 0; i < values.size(); ++i)
                exec(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?)").arg(table),
                     {i, values[i], extra.value(i, QString())});
        };
        if (!db.open())
            error = db.lastError().text();
        // New members of our own: no journal needed, and the indexes are cheaper to build once at the end.
        if (!dialect.postgres) {
            exec(QStringLiteral("PRAGMA journal_mode = OFF"));
            exec(QStringLiteral("PRAGMA synchronous = OFF"));
        }
        for (const QString& index : kIndexNames)
            exec(QStringLiteral("DROP INDEX ") + index);
        fill(QStringLiteral("first_names"), texts(kFirstNames));
        fill(QStringLiteral("surnames"), texts(kSurnames));
        fill(QStringLiteral("streets"), texts(kStreets));
        fill(QStringLiteral("balances"), texts(kBalances));
        fill(QStringLiteral("odd_births"), texts(kOddBirths));
        QStringList towns, provinces;
        for (const Town& town : kTowns) {
            towns << QString::fromUtf8(town.name);
            provinces << QString::fromUtf8(town.province);
        }
        fill(QStringLiteral("towns"), towns, provinces);
        exec(insertStatement(dialect, options.members, options.oddities, int(std::size(kOddBirths))));
        if (options.oddities) // some card numbers held by two rows, the second one later in the table
            exec(QStringLiteral("INSERT INTO ficha (%1) SELECT %1 FROM ficha WHERE %2 % 53 = 7 ORDER BY %2")
                     .arg(fieldList(), dialect.postgres ? QStringLiteral("id") : QStringLiteral("rowid")));
        if (dialect.postgres)
            exec(QStringLiteral("ANALYZE"));
        query = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (!error.isEmpty())
        return StoreError{StoreError::Kind::Write, name, error};
    // The start-up check builds the indexes that the store lacks.
    return MemberStore(store).openOrCreate();
}
