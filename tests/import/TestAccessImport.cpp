#include "cli/CommandLine.h"
#include "import/MemberImport.h"
#include "store/MemberStore.h"
#include "tests/support/TestSupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(ImportError::Kind)
Q_DECLARE_METATYPE(AccessType)
Q_DECLARE_METATYPE(Field)

// The import of Access member files: the four real fixtures read through socios-mdb-reader, the mapping of table
// "ficha" to member records, the conversion of other column types, the reader's output checked whole, and hostile
// files (damaged, cut short, not Access at all, a FIFO) refused with nothing changed. Writing goes through the real
// member file, and the command line through the real socios executable.
class TestAccessImport : public QObject
{
    Q_OBJECT

    struct Table
    {
        AccessTableHead head;
        QList<AccessRow> rows;
    };

    static ImportResult<Table> readTable(const QString& file, const QString& name)
    {
        Table table;
        const auto onHead = [&](const AccessTableHead& head) -> ImportResult<void> {
            table.head = head;
            return {};
        };
        const auto onRow = [&](const AccessRow& row) -> ImportResult<void> {
            table.rows << row;
            return {};
        };
        if (ImportResult<void> done = AccessReader().read(file, name, onHead, onRow); !done)
            return done.error();
        return table;
    }

    // The raw value of `column` in the first row whose first column holds `key`; "\N" for no value.
    static QString cell(const Table& table, const QString& key, const QString& column)
    {
        qsizetype index = 0;
        while (index < table.head.columns.size() && table.head.columns[index].name != column)
            ++index;
        for (const AccessRow& row : table.rows)
            if (row.value(0) == key && index < row.size())
                return row[index].value_or(QStringLiteral("\\N"));
        return QStringLiteral("(no such row or column)");
    }

    static QString copyOf(const QByteArray& bytes, const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qUtf8Printable(path));
        return path;
    }

    static MemberRecord fields(const QStringList& values)
    {
        MemberRecord record;
        for (Field f : allFields())
            record[f] = values.value(int(f));
        return record;
    }

    static QString jet4() { return testDataPath(QStringLiteral("ficha-jet4.mdb")); }
    static QString ace() { return testDataPath(QStringLiteral("access/ficha-ace.accdb")); }

private slots:
    void fixtures_data()
    {
        const DataTable<QString, QString, qint64, QString, QString, QString> row("file", "table", "rows", "key",
                                                                                 "column", "raw");
        const QString unicode = QStringLiteral("access/unicode-jet4.mdb");
        const QString jet3 = QStringLiteral("access/codepage-jet3.mdb");
        row("Jet 4: accents", "ficha-jet4.mdb", "ficha", 242, "0001", "apellidos", "Núñez Peña");
        row("ACE: accents", "access/ficha-ace.accdb", "FICHA", 242, "0003", "ciudad", "Peñíscola");
        row("compressed Unicode: Cyrillic", unicode, "Table", 8, "3", "Unicode", "Мир");
        row("Jet 3 code page: ¡", jet3, "Table1", 275, "row161", "data", "AA¡AA");
        row("Jet 3: a line feed in a text", jet3, "Table1", 275, "row10", "data", "AA\nAA");
        row("Jet 3: date/time", jet3, "Table6", 23, "row10", "data", "0.0003472222222222222");
        row("Jet 3: currency", jet3, "Table8", 20, "row2", "data", "3098409830000");
    }
    void fixtures()
    {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(qint64, rows);
        const ImportResult<Table> read = readTable(testDataPath(file), table);
        QVERIFY2(read, qPrintable(read ? QString() : read.error().toString()));
        QCOMPARE(read->head.rows, rows);
        QCOMPARE(read->rows.size(), rows);
        QFETCH(QString, key);
        QFETCH(QString, column);
        QTEST(cell(*read, key, column), "raw");
    }

    void fichaTable()
    {
        const ImportResult<AccessMembers> fromJet4 = readAccessMembers(AccessReader(), jet4());
        const ImportResult<AccessMembers> fromAce = readAccessMembers(AccessReader(), ace());
        QVERIFY2(fromJet4 && fromAce, qPrintable(fromJet4 ? QString() : fromJet4.error().toString()));
        QCOMPARE(fromAce->records, fromJet4->records);
        QCOMPARE(fromJet4->records.size(), 242u);
        QCOMPARE(fromJet4->summary.members, 242);
        QCOMPARE(fromJet4->summary.emptyMarks, 10); // the ten NULL fields of row "0241"
        QCOMPARE(fromJet4->summary.converted, QStringList());
        QCOMPARE(countAccessMembers(AccessReader(), ace()).value(), 242);
        // Row (from 1), field, and what is stored: the texts exactly as they were, in table order.
        const std::tuple<int, Field, QString> cells[] = {
            {1, Field::nombre, "Ñuflo"},           {1, Field::fnacimiento, "00/00/0000"},
            {2, Field::fnacimiento, "00/00/1999"}, {2, Field::puntos, "-5"},
            {3, Field::puntos, " 17.5"},           {3, Field::email, "*****"},
            {240, Field::ntarjeta, "0000240"},     {240, Field::puntos, " 1E+15"},
            {241, Field::ntarjeta, "0007"},        {242, Field::nsocio, "*****"}};
        for (const auto& [row, field, stored] : cells)
            QCOMPARE(fromJet4->records.at(std::size_t(row - 1))[field], stored);
    }

    void columnsMatchedByName_data()
    {
        // columns: "name:type" in table order; values: a raw value per column; stored: the record's fields in order,
        // or the start of the failure's detail.
        const DataTable<QStringList, QStringList, QStringList, int> row("columns", "values", "stored", "failure");
        const int none = -1;
        const int missing = int(ImportError::Kind::MissingField);
        const int bad = int(ImportError::Kind::BadValue);
        QStringList names, text, reversed, reversedValues;
        for (Field f : allFields()) {
            names << QLatin1String(fieldName(f));
            text << names.last() + ":10";
            reversed.prepend(names.last().toUpper() + ":10");
            reversedValues.prepend(names.last());
        }
        row("any order and case, extra columns ignored", QStringList{"foto:11"} + reversed + QStringList{"id:4"},
            QStringList{"x"} + reversedValues + QStringList{"7"}, names, none);

        QStringList withoutEmail = text;
        withoutEmail.removeAll("email:10");
        row("a field missing", withoutEmail, names, {"email"}, missing);
        QStringList ole = text;
        ole[int(Field::observaciones)] = "observaciones:11";
        row("an OLE column for a field", ole, names, {"column observaciones holds binary data"}, bad);
    }
    void columnsMatchedByName()
    {
        QFETCH(QStringList, columns);
        QFETCH(QStringList, values);
        QFETCH(QStringList, stored);
        AccessTableHead head{1, {}};
        for (const QString& column : columns)
            head.columns.append({column.section(':', 0, 0), AccessType(column.section(':', 1).toInt())});
        AccessRow row;
        for (const QString& value : values)
            row << value;

        ImportSummary summary;
        const ImportResult<FichaColumns> found = FichaColumns::find(head, "F");
        const ImportResult<MemberRecord> record =
            found ? found->record(row, 1, summary) : ImportResult<MemberRecord>(found.error());
        QTEST(record ? -1 : int(record.error().kind), "failure");
        if (!record) {
            QVERIFY2(record.error().detail.startsWith(stored[0]), qPrintable(record.error().detail));
            return;
        }
        QCOMPARE(*record, fields(stored));
    }

    void storedText_data()
    {
        const DataTable<AccessType, QString, Field, QString> row("type", "raw", "field", "stored");
        const QString none = QStringLiteral("(none)");
        row("text kept exactly", AccessType::Text, " 17.5", Field::puntos, " 17.5");
        row("yes", AccessType::YesNo, "1", Field::observaciones, "-1");
        row("no", AccessType::YesNo, "0", Field::observaciones, " 0");
        row("yes/no damaged", AccessType::YesNo, "2", Field::observaciones, none);
        row("byte", AccessType::Byte, "255", Field::puntos, " 255");
        row("integer with a fraction", AccessType::LongInteger, "1.5", Field::puntos, none);
        row("currency", AccessType::Currency, "175000", Field::puntos, " 17.5");
        row("single, its own digits", AccessType::Single, "0.1", Field::puntos, " .1");
        row("single, seven digits", AccessType::Single, "309840992", Field::puntos, " 309841000");
        row("double, exponent", AccessType::Double, "1e15", Field::puntos, " 1E+15");
        row("double, not a number", AccessType::Double, "nan", Field::puntos, none);
        row("decimal", AccessType::Decimal, "12.50", Field::puntos, " 12.5");
        row("birth date, time dropped", AccessType::DateTime, "31119.75", Field::fnacimiento, "13/03/1985");
        row("expiry month", AccessType::DateTime, "46539", Field::fcaducidad, "06/2027");
        row("before 1899, time forwards", AccessType::DateTime, "-1.5", Field::fnacimiento, "29/12/1899");
        row("first Access day", AccessType::DateTime, "-657434", Field::fnacimiento, "01/01/0100");
        row("last Access day", AccessType::DateTime, "2958465.99", Field::fnacimiento, "31/12/9999");
        row("after the last Access day", AccessType::DateTime, "2958466", Field::fnacimiento, none);
        row("date damaged", AccessType::DateTime, "x", Field::fnacimiento, none);
        row("binary", AccessType::Binary, "", Field::observaciones, none);
    }
    void storedText()
    {
        QFETCH(AccessType, type);
        QFETCH(QString, raw);
        QFETCH(Field, field);
        QTEST(::storedText(type, raw, field).value_or("(none)"), "stored");
    }

    void readerOutputCheckedWhole_data()
    {
        // output: the reader's lines, "|" for a line end; failure: empty when accepted.
        const DataTable<bool, QByteArray, QString> row("headOnly", "output", "failure");
        const QByteArray head = "socios-mdb-reader 1|table\t2\t2|column\t10\ta|column\t4\tb|";
        row("complete", false, head + "row\tx\t1|row\t\\N\t\\t\\\\|end\t2|", "");
        row("head only", true, head + "end\t0|", "");
        row("no signature", false, "table\t2\t2|", "does not begin as expected");
        row("cut short", false, head + "row\tx\t1|", "ends early");
        row("fewer rows than counted", false, head + "row\tx\t1|end\t1|", "counts 2 rows, but 1");
        row("end miscounts", false, head + "row\tx\t1|row\ty\t2|end\t3|", "count of rows does not match");
        row("a field too few", false, head + "row\tx|", "row 1 is malformed");
        row("rows when only the head was asked", true, head + "row\tx\t1|end\t1|", "row 1 is malformed");
        row("unknown escape", false, head + "row\t\\x\t1|", "not valid UTF-8");
        row("written on after the end", false, head + "row\tx\t1|row\ty\t2|end\t2|row\tz\t3|", "after its end");
        row("negative count", false, "socios-mdb-reader 1|table\t-2\t2|", "account of the table");
        row("the reader's own failure", false, head + "error\tnotable\tno table ficha|", "no table ficha");
    }
    void readerOutputCheckedWhole()
    {
        QFETCH(bool, headOnly);
        QFETCH(QByteArray, output);
        QFETCH(QString, failure);
        QList<AccessRow> rows;
        ReaderOutput parser("F", headOnly, {}, [&](const AccessRow& row) -> ImportResult<void> {
            rows << row;
            return {};
        });
        // One byte at a time: a line may arrive in any number of pieces.
        ImportResult<void> fed;
        for (char c : output.replace('|', '\n'))
            if (fed)
                fed = parser.feed(QByteArray(1, c));
        if (fed)
            fed = parser.finish();
        QVERIFY2(failure.isEmpty() ? fed.ok() : !fed && fed.error().detail.contains(failure),
                 qPrintable(!fed ? fed.error().toString() : QStringLiteral("accepted")));
        if (fed && !headOnly)
            QCOMPARE(rows, (QList<AccessRow>{{"x", "1"}, {std::nullopt, "\t\\"}}));
    }

    void hostileFilesRefused_data()
    {
        const DataTable<QString, ImportError::Kind, QString> row("file", "kind", "detail");
        using Kind = ImportError::Kind;
        row("reading the table list never ends", "endless", Kind::Damaged, "");
        row("the table list refers to a page beyond the end", "usage", Kind::CutShort, "page 216 lies beyond the end");
        row("no table ficha", "jet3", Kind::NoTable, "no table ficha");
        row("random bytes", "random", Kind::NotAccess, "no Access header");
        row("random bytes after an Access header", "header", Kind::Damaged, "");
        row("FIFO", "fifo", Kind::NotAccess, "not a regular file");
        row("missing", "missing", Kind::Unreadable, "No such file");
    }
    void hostileFilesRefused()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QByteArray original = fileBytes(jet4());
        QByteArray random(73 * 4096, '\0'); // whole pages
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
        const QString path = dir.filePath("socios.mdb");
        if (file == "endless" || file == "usage" || file == "jet3")
            QFile::copy(testDataPath(file == "endless" ? "access/damaged/endless-properties.mdb"
                                     : file == "usage" ? "access/damaged/empty-usage-map.mdb"
                                                       : "access/codepage-jet3.mdb"),
                        path);
        else if (file == "random")
            copyOf(random, path);
        else if (file == "header")
            copyOf(original.left(4096) + random, path);
        else if (file == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        const QMap<QString, QByteArray> before = folderContents(dir.path());

        const QString memberPath = dir.filePath("MIS PROGRAMAS/dorvel.mdb");
        const ImportResult<ImportSummary> result = importAccessFile(AccessReader(), path, memberPath);
        QVERIFY(!result);
        QTEST(result.error().kind, "kind");
        QFETCH(QString, detail);
        QVERIFY2(result.error().detail.contains(detail), qPrintable(result.error().toString()));
        QCOMPARE(folderContents(dir.path()), before);
    }

    void cutFilesRefused_data()
    {
        // A fixture cut short by `cut` bytes: within its last page, or by whole pages. "ficha": imported from the
        // command line; another table: read through the reader alone.
        const DataTable<QString, QString, qint64> row("file", "table", "cut");
        const QString jet4 = QStringLiteral("ficha-jet4.mdb");
        const QString ace = QStringLiteral("access/ficha-ace.accdb");
        const QString jet3 = QStringLiteral("access/codepage-jet3.mdb");
        row("Jet 4, 1 byte", jet4, "ficha", 1);
        row("Jet 4, 1 024 bytes", jet4, "ficha", 1024);
        row("Jet 4, 4 000 bytes", jet4, "ficha", 4000);
        row("Jet 4, two pages", jet4, "ficha", 8192);
        row("ACE, 1 byte", ace, "ficha", 1);
        row("ACE, 2 048 bytes", ace, "ficha", 2048);
        row("ACE, one page", ace, "ficha", 4096);
        row("Jet 3, 1 byte", jet3, "Table1", 1);
        row("Jet 3, 1 000 bytes", jet3, "Table1", 1000);
        row("Jet 3, 4 000 bytes", jet3, "Table1", 4000);
    }
    void cutFilesRefused()
    {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(qint64, cut);
        QTemporaryDir home;
        const QString path = copyOf(fileBytes(testDataPath(file)).chopped(cut), home.filePath("cut.mdb"));
        const QMap<QString, QByteArray> before = folderContents(home.path());
        if (table != "ficha") {
            const ImportResult<Table> read = readTable(path, table);
            QVERIFY(!read);
            QVERIFY2(read.error().kind == ImportError::Kind::CutShort, qPrintable(read.error().toString()));
            return;
        }
        const SociosRun run = runCommandLine(home.path(), {"--import-access", path});
        QVERIFY2(run.err.startsWith("socios: Access file cut short " + path), qPrintable(run.err));
        QCOMPARE(run.exitCode, int(kExitBadInput));
        QCOMPARE(run.out, QString());
        QCOMPARE(folderContents(home.path()), before);
    }

    void readerFailuresRefused_data()
    {
        // A reader that dies of a segmentation fault, as libmdb does on some damaged files, and one that hangs
        // without a word, as libmdb does in some loops.
        const DataTable<QByteArray, QString> row("script", "detail");
        row("crashed", "kill -SEGV $$", "the reader crashed on it");
        row("silent", "exec /bin/sleep 60", "the reader wrote nothing for 3 s");
    }
    void readerFailuresRefused()
    {
        QFETCH(QByteArray, script);
        QTemporaryDir dir;
        const QString program = copyOf("#!/bin/sh\n" + script + '\n', dir.filePath("reader"));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        const ImportResult<void> failure = AccessReader(program).read(jet4(), "ficha", {}, {});
        QVERIFY(!failure);
        QCOMPARE(failure.error().kind, ImportError::Kind::Damaged);
        QTEST(failure.error().detail, "detail");
    }

    void environmentIgnored()
    {
        // Variables that would make libmdb read the Jet 3 code page as UTF-8, search other folders, or print
        // numbers with a decimal comma.
        const QList<QByteArray> names = {"MDB_JET3_CHARSET", "MDBICONV", "MDBOPTS", "MDBPATH", "LC_ALL"};
        const QList<QByteArray> values = {"UTF-8", "ISO-8859-1", "debug_all", "/nonexistent", "es_ES.UTF-8"};
        for (qsizetype i = 0; i < names.size(); ++i)
            qputenv(names[i], values[i]);
        const ImportResult<Table> read = readTable(testDataPath("access/codepage-jet3.mdb"), "Table1");
        const ImportResult<Table> dates = readTable(testDataPath("access/codepage-jet3.mdb"), "Table4");
        qputenv("LC_ALL", "C.UTF-8");
        for (qsizetype i = 0; i < names.size() - 1; ++i)
            qunsetenv(names[i]);
        QVERIFY(read && dates);
        QCOMPARE(cell(*read, "row161", "data"), QStringLiteral("AA¡AA"));
        QCOMPARE(cell(*dates, "row10", "data"), QStringLiteral("-0.00035134"));
    }

    void commandLine_data()
    {
        // before: what the home folder holds; "empty": an empty member file of a first start; "members": the Jet 4
        // fixture imported already; "access": that fixture at the member file's place; "taken": also a file where
        // the original would be kept. "HOME" stands for the home folder, "JET4" and "ACE" for the fixtures.
        const DataTable<QString, QStringList, int, QString> row("before", "arguments", "exitCode", "says");
        const QString members = "HOME/MIS PROGRAMAS/dorvel.mdb";
        row("imports without a display", "", {"--import-access", "JET4"}, kExitOk,
            "imported 242 members from JET4 into " + members + "; 10 fields without a value stored as \"*****\"\n");
        row("fills an empty member file", "empty", {"--import-access", "ACE"}, kExitOk, "imported 242 members");
        row("a second import refused", "members", {"--import-access", "ACE"}, kExitRefused,
            "socios: the member file holds members already; not importing");
        row("another Access file at the place refused", "access", {"--import-access", "ACE"}, kExitRefused,
            "nothing was changed");
        row("damaged file refused", "", {"--import-access", testDataPath("access/damaged/endless-properties.mdb")},
            kExitBadInput, "socios: damaged Access file");
        row("the Access file at its place, its name taken", "taken", {"--import-access", members}, kExitOk,
            "the Access file is kept as HOME/MIS PROGRAMAS/dorvel (Access 2).mdb\n");
    }
    void commandLine()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, arguments);
        QTemporaryDir home;
        const QString path = home.filePath("MIS PROGRAMAS/dorvel.mdb");
        QDir().mkpath(QFileInfo(path).path());
        if (before == "access" || before == "taken")
            QVERIFY(QFile::copy(jet4(), path));
        if (before == "taken")
            copyOf("taken", home.filePath("MIS PROGRAMAS/dorvel (Access).mdb"));
        if (before == "members")
            QVERIFY(importAccessFile(AccessReader(), jet4(), path));
        if (before == "empty")
            QCOMPARE(createMemberFile(home), path);
        const QMap<QString, QByteArray> untouched = folderContents(home.path());

        const auto expand = [&](QStringList texts) {
            return texts.replaceInStrings("HOME", home.path())
                .replaceInStrings("JET4", jet4())
                .replaceInStrings("ACE", ace());
        };
        const SociosRun run = runCommandLine(home.path(), expand(arguments));
        QFETCH(QString, says);
        QVERIFY2((run.out + run.err).contains(expand({says}).first()), qPrintable(run.out + run.err));
        QTEST(run.exitCode, "exitCode");
        if (run.exitCode != kExitOk) {
            QCOMPARE(folderContents(home.path()), untouched);
            return;
        }
        const std::vector<MemberRecord> members = readAccessMembers(AccessReader(), jet4())->records;
        QCOMPARE(allRows(path), QList<MemberRecord>(members.begin(), members.end()));
        if (before == "taken") {
            QCOMPARE(fileBytes(home.filePath("MIS PROGRAMAS/dorvel (Access 2).mdb")), fileBytes(jet4()));
            QCOMPARE(fileBytes(home.filePath("MIS PROGRAMAS/dorvel (Access).mdb")), QByteArray("taken"));
            QCOMPARE(folderContents(home.path()).size(), untouched.size() + 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestAccessImport)
#include "TestAccessImport.moc"
