#include "bench/MemberGenerator.h"

#include "store/MemberRecord.h"
#include "store/MemberStore.h"

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

template <std::size_t N> QStringList texts(const char* const (&items)[N])
{
    QStringList list;
    for (const char* item : items)
        list << QString::fromUtf8(item);
    return list;
}

// A pseudo-random number from 0 to modulo - 1 for member `i` (an SQL expression), different for each salt.
QString hash(int salt, int modulo)
{
    // Built by concatenation: the SQL holds '%' signs that QString::arg would take for its own markers.
    return QStringLiteral("((((n.i + 1) * 2654435761 + ") + QString::number(salt) +
           QStringLiteral(" * 40503 + :seed * 7919) % 4294967291) % ") + QString::number(modulo) + QLatin1Char(')');
}

QString orEmptyMark(const QString& value, int salt, int percentEmpty)
{
    return QStringLiteral("CASE WHEN ") + hash(salt, 100) + QStringLiteral(" < ") + QString::number(percentEmpty) +
           QStringLiteral(" THEN '*****' ELSE ") + value + QStringLiteral(" END");
}

// Picks a value of a lookup table for member `i`, or the empty mark `percentEmpty` times in a hundred.
QString pick(const QString& table, int size, int salt, int percentEmpty = 0)
{
    const QString value = QStringLiteral("(SELECT v FROM ") + table + QStringLiteral(" WHERE id = ") +
                          hash(salt, size) + QLatin1Char(')');
    return percentEmpty ? orEmptyMark(value, salt + 100, percentEmpty) : value;
}

// The whole generating statement: every row is made by the database engine from member numbers 0 to
// :members - 1, which keeps a million members to seconds.
QString insertStatement(bool oddities, int oddBirths)
{
    const QString birthRoll = hash(10, 1000);
    const QString birth = QStringLiteral("CASE WHEN ") + birthRoll + QStringLiteral(" < 40 THEN '*****' WHEN ") +
                          birthRoll + QStringLiteral(" < 80 THEN '00/00/0000' WHEN ") + birthRoll +
                          QStringLiteral(" < 100 THEN '00/00/' || (1930 + ") + hash(11, 80) + QStringLiteral(") ") +
                          (oddities ? QStringLiteral("WHEN ") + birthRoll +
                                          QStringLiteral(" < 160 THEN (SELECT v FROM odd_births WHERE id = ") +
                                          hash(12, oddBirths) + QStringLiteral(") ")
                                    : QString()) +
                          QStringLiteral("ELSE strftime('%d/%m/%Y', '1930-01-01', '+' || ") + hash(13, 29000) +
                          QStringLiteral(" || ' days') END");
    const QStringList columns = {
        QStringLiteral("CAST(1000 + ((n.i * 1000003 + 4242) % 9999000) AS TEXT)"),
        orEmptyMark(QStringLiteral("CAST(n.i + 1 AS TEXT)"), 1, 10),
        pick(QStringLiteral("first_names"), int(std::size(kFirstNames)), 2, 2),
        orEmptyMark(pick(QStringLiteral("surnames"), int(std::size(kSurnames)), 3) + QStringLiteral(" || ' ' || ") +
                        pick(QStringLiteral("surnames"), int(std::size(kSurnames)), 4),
                    5, 3),
        orEmptyMark(pick(QStringLiteral("streets"), int(std::size(kStreets)), 6) + QStringLiteral(" || ' ' || (1 + ") +
                        hash(7, 120) + QStringLiteral(") || ', ' || (1 + ") + hash(8, 8) + QStringLiteral(") || 'º'"),
                    9, 15),
        orEmptyMark(QStringLiteral("(SELECT province FROM towns WHERE id = ") + hash(20, int(std::size(kTowns))) +
                        QStringLiteral(") || printf('%03d', ") + hash(21, 1000) + QLatin1Char(')'),
                    22, 15),
        orEmptyMark(QStringLiteral("(SELECT v FROM towns WHERE id = ") + hash(20, int(std::size(kTowns))) +
                        QLatin1Char(')'),
                    23, 10),
        orEmptyMark(QStringLiteral("'6' || printf('%08d', ") + hash(24, 100000000) + QLatin1Char(')'), 25, 20),
        orEmptyMark(QStringLiteral("'socio' || n.i || '@example.es'"), 26, 40),
        birth,
        orEmptyMark(QStringLiteral("'Prefiere que le avisen por teléfono'"), 27, 85),
        pick(QStringLiteral("balances"), int(std::size(kBalances)), 28),
        QStringLiteral("CASE WHEN ") + hash(29, 4) + QStringLiteral(" = 0 THEN '00/0000' ELSE printf('%02d/%d', 1 + ") +
            hash(30, 12) + QStringLiteral(", 2025 + ") + hash(31, 6) + QStringLiteral(") END"),
    };
    return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < :members) "
                          "INSERT INTO ficha SELECT ") +
           columns.join(QLatin1String(", ")) + QStringLiteral(" FROM n");
}

} // namespace

QString generatedCard(int index)
{
    // A step prime to the range makes every index up to the range's size a different number of 4 to 7 digits.
    constexpr qint64 kFirst = 1000, kRange = 10'000'000 - kFirst, kStep = 1'000'003;
    return QString::number(kFirst + (qint64(index) * kStep + 4242) % kRange);
}

StoreStatus generateMemberFile(const QString& path, const GeneratorOptions& options)
{
    if (QFile::exists(path))
        return StoreError{StoreError::Kind::Create, path, QStringLiteral("the file exists already")};
    if (StoreStatus failure = MemberStore(path).openOrCreate())
        return failure;

    const QString connection = QStringLiteral("socios-generator");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        QSqlQuery query(db);
        auto exec = [&](const QString& sql, const QVariantMap& values = {}) {
            if (!error.isEmpty())
                return;
            bool done = query.prepare(sql);
            for (auto it = values.begin(); done && it != values.end(); ++it)
                query.bindValue(it.key(), it.value());
            if (!done || !query.exec())
                error = query.lastError().text() + QStringLiteral(" in: ") + sql.left(200);
        };
        auto fill = [&](const QString& table, const QStringList& values, const QStringList& extra = {}) {
            exec(QStringLiteral("CREATE TEMP TABLE %1 (id INTEGER PRIMARY KEY, v TEXT, province TEXT)").arg(table));
            for (int i = 0; i < values.size(); ++i)
                exec(QStringLiteral("INSERT INTO %1 VALUES (:id, :v, :p)").arg(table),
                     {{":id", i}, {":v", values[i]}, {":p", extra.value(i)}});
        };
        if (!db.open())
            error = db.lastError().text();
        // A new file of our own: no journal needed, and the indexes are cheaper to build once at the end.
        exec(QStringLiteral("PRAGMA journal_mode = OFF"));
        exec(QStringLiteral("PRAGMA synchronous = OFF"));
        exec(QStringLiteral("DROP INDEX ficha_ntarjeta"));
        exec(QStringLiteral("DROP INDEX ficha_cumple"));
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
        exec(insertStatement(options.oddities, int(std::size(kOddBirths))),
             {{":members", options.members}, {":seed", options.seed}});
        if (options.oddities) // some card numbers held by two rows, the second one later in the table
            exec(QStringLiteral("INSERT INTO ficha SELECT * FROM ficha WHERE rowid % 53 = 7"));
        query = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (!error.isEmpty())
        return StoreError{StoreError::Kind::Write, path, error};
    // The start-up check builds the indexes that a file lacks.
    return MemberStore(path).openOrCreate();
}
