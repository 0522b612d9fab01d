#include "backup/Backups.h"
#include "store/MemberStore.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

// The calls that name or remove a file: where a program that writes files can be stopped with a difference.
const QStringList kFileCalls = {"rename", "renameat", "renameat2", "link", "linkat", "unlink", "unlinkat"};

// strace, which stops the real program at some of its calls (`calls`, separated by commas): "signal=KILL:when=3"
// kills it on entering the third of each, "delay_enter=500000" holds it up half a second at each.
QStringList underStrace(const QString& calls, const QString& injection)
{
    return {"strace", "-f", "-qq", "-o", "/dev/null", "-e", "inject=" + calls + ':' + injection, "--"};
}

bool straceWorks()
{
    return QProcess::execute("strace", {"-qq", "-o", "/dev/null", "true"}) == 0;
}

} // namespace

// The command-line modes of the real program, as an administrator runs them over ssh: no display, results on
// stdout, problems on stderr, and an exit code for each kind of outcome.
class TestCommandLine : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_home;
    QString m_memberPath;
    QList<QStringList> m_undoes; // commands that undo what a test changed beyond its folder

    SociosRun socios(const QStringList& arguments, const QStringList& wrapper = {})
    {
        return runCommandLine(m_home->path(), arguments, wrapper);
    }

    // The members of the data of one member's tests: the member file, or, in the run on the test server, a schema of
    // the server holding the same members and points history. The arguments that name it to socios.
    std::optional<TestStore> m_server;
    QStringList chooseMembers()
    {
        if (!testingServer())
            return {};
        m_server.emplace().createFromFixture(QStringLiteral("members.sql"));
        [&] {
            QVERIFY(MemberStore(m_server->address())
                        .changePoints("0001", [](const QString&) { return std::optional<QString>(" 175"); })
                        .ok());
        }();
        return {"--database", m_server->uri()};
    }
    QList<QStringList> membersSql(const QString& sql) const
    {
        return m_server ? m_server->execSql(sql) : execSql(m_memberPath, sql);
    }
    QList<MemberRecord> memberRows() const { return m_server ? m_server->allRows() : allRows(m_memberPath); }

private slots:
    void init()
    {
        m_home.emplace();
        m_memberPath = memberFileFromFixture(*m_home, QStringLiteral("members.sql"));
        QCOMPARE(m_memberPath, m_home->filePath("MIS PROGRAMAS/dorvel.mdb"));
        QVERIFY(MemberStore(m_memberPath)
                    .changePoints("0001", [](const QString&) { return std::optional<QString>(" 175"); })
                    .ok());
    }

    void cleanup()
    {
        m_server.reset();
        for (const QStringList& command : std::exchange(m_undoes, {}))
            QProcess::execute(command.first(), command.mid(1));
    }

    void modes_data()
    {
        if (testingServer())
            QSKIP("about the member file: TestCommandLine");
        // arguments: "HOME" stands for the home folder, "FULL" for a disk with 0 bytes free; out and err: parts of
        // what is printed.
        const DataTable<QStringList, int, QString, QString> row("arguments", "exit", "out", "err");
        row("version", {"--version"}, 0, "socios ", "");
        row("unknown option", {"--copiar"}, 2, "", "Unknown option 'copiar'");
        row("a bad server address", {"--database", "postgresql://tienda/socios?puerto=1"}, 2, "",
            "--database: puerto is not a connection parameter");
        row("two modes", {"--backup", "HOME/copias", "--history", "0001"}, 2, "", "cannot be combined");
        row("export", {"--export-csv", "HOME/socios.csv"}, 0, "exported 6 members", "");
        row("export to a full disk", {"--export-csv", "FULL/socios.csv"}, 3, "",
            "socios: cannot write FULL/socios.csv: No space left on device\n"
            "socios: nothing was exported; no file was made at FULL/socios.csv.\n");
        row("export over the member file, by another name",
            {"--export-csv", "HOME/MIS PROGRAMAS/../MIS PROGRAMAS/dorvel.mdb"}, 4, "", "is the member file");
        row("workbook", {"--export-xlsx", "HOME/socios.xlsx"}, 0, "exported 6 members and 1 points history records",
            "");
        row("import into a file that holds members", {"--import-csv", "HOME/socios.csv"}, 4, "", "holds members");
        row("history", {"--history", "0001"}, 0, "\tañadir puntos\t 150\t 25\t 175\t", "");
        row("no history", {"--history", "0007"}, 0, "", "no change of balance recorded for card 0007");
        row("backup", {"--backup", "HOME/copias"}, 0, "checked", "");
        row("restore what is not a copy", {"--restore", "HOME/MIS PROGRAMAS"}, 3, "", "nothing was changed");
    }

    void modes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exit);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const QString full = m_home->filePath("lleno");
        if (!arguments.filter("FULL").isEmpty()) {
            if (!mountSmallDisk(full, "64k", m_undoes))
                QSKIP("needs to mount a small file system (root on Linux)");
            fillDisk(full + "/relleno");
        }
        arguments.replaceInStrings("HOME", m_home->path()).replaceInStrings("FULL", full);
        err.replace("FULL", full);
        if (arguments.contains("--import-csv"))
            QCOMPARE(socios({"--export-csv", arguments.last()}).exitCode, 0);
        const QByteArray before = fileBytes(m_memberPath);
        const SociosRun run = socios(arguments);
        QCOMPARE(run.exitCode, exit);
        QVERIFY2(run.out.contains(out) && run.err.contains(err), qPrintable(run.out + " | " + run.err));
        QCOMPARE(fileBytes(m_memberPath), before); // none of these modes writes to the member file
        if (arguments.contains("--backup") && exit == 0)
            QCOMPARE(QDir(arguments[1]).entryList({"dorvel-*.mdb"}).size(), 1);
        if (arguments.contains("--export-csv") && exit != 4)
            QCOMPARE(QFile::exists(arguments[1]), exit == 0); // whole or not at all
    }

    void language_data()
    {
        if (testingServer())
            QSKIP("about the member file: TestCommandLine");
        // locale: the variables that name it, as a shell sets them; "HOME" stands for the home folder; out and err:
        // parts of what is printed, each of which must be there.
        const DataTable<QStringList, QStringList, int, QStringList, QStringList> row("locale", "arguments", "exit",
                                                                                     "out", "err");
        const QStringList english = {"LANG=en_US.UTF-8"}, spanish = {"LANG=es_ES.UTF-8"};
        row("help, English", english, {"--help"}, 0, {"Usage: ", "Shows this help and exits.", "--backup <DIR>"}, {});
        row("help, Spanish", spanish, {"--help"}, 0,
            {"Modo de empleo: ", "Muestra esta ayuda y termina.", "--backup <CARPETA>"}, {});
        row("LANGUAGE before LANG", {"LANG=en_US.UTF-8", "LANGUAGE=es"}, {"--help"}, 0, {"Muestra esta ayuda"}, {});
        row("LC_ALL before LANG", {"LANG=es_ES.UTF-8", "LC_ALL=en_US.UTF-8"}, {"--help"}, 0, {"Shows this help"}, {});
        row("LC_MESSAGES before LANG", {"LANG=en_US.UTF-8", "LC_MESSAGES=es_ES.UTF-8"}, {"--help"}, 0,
            {"Muestra esta ayuda"}, {});
        row("export, English", english, {"--export-csv", "HOME/socios.csv"}, 0, {"socios: exported 6 members from "},
            {});
        row("export, Spanish", spanish, {"--export-csv", "HOME/socios.csv"}, 0, {"socios: exportados 6 socios de "},
            {});
        row("refused, English", english, {"--restore", "HOME/MIS PROGRAMAS"}, 3, {},
            {" is not a member file\nsocios: nothing was changed.\n"});
        row("refused, Spanish", spanish, {"--restore", "HOME/MIS PROGRAMAS"}, 3, {},
            {" no es un archivo de socios\nsocios: no se ha cambiado nada.\n"});
        // An import's failure is worded whole in the owner's language; what the reader said stays in its words.
        row("import refused, English", english, {"--import-access", "HOME/MIS PROGRAMAS/dorvel.mdb"}, 4, {},
            {"socios: the member file holds members already; not importing ", "\nsocios: nothing was changed.\n"});
        row("import refused, Spanish", spanish, {"--import-access", "HOME/MIS PROGRAMAS/dorvel.mdb"}, 4, {},
            {"socios: el archivo de socios ya tiene socios; no se importa ", "\nsocios: no se ha cambiado nada.\n"});
        row("usage error, English", english, {"--copiar"}, 2, {}, {"Unknown option 'copiar'.", "Try 'socios --help'."});
        row("usage error, Spanish", spanish, {"--copiar"}, 2, {},
            {"Opción desconocida «copiar».", "Pruebe 'socios --help'."});
    }

    void language()
    {
        // The command line speaks the owner's language, Spanish or English, as the system names it; what it does
        // and its exit codes are the same in both.
        QFETCH(QStringList, locale);
        QFETCH(QStringList, arguments);
        arguments.replaceInStrings("HOME", m_home->path());
        const SociosRun run = runCommandLine(m_home->path(), arguments, {}, locale);
        QTEST(run.exitCode, "exit");
        QFETCH(QStringList, out);
        QFETCH(QStringList, err);
        for (const QString& part : out)
            QVERIFY2(run.out.contains(part), qPrintable(part + " | " + run.out));
        for (const QString& part : err)
            QVERIFY2(run.err.contains(part), qPrintable(part + " | " + run.err));
    }

    void noHomeFolder_data()
    {
        // home: "unset", or "latin1" (a folder of the test named "café" in Latin-1 bytes); no arguments: the window.
        const DataTable<QString, QStringList, QString> row("home", "arguments", "err");
        row("no HOME: a command", "unset", {"--history", "0001"}, "HOME is not set");
        row("no HOME: the window", "unset", {}, "HOME is not set");
        row("a home not named in UTF-8: a command", "latin1", {"--export-csv", "socios.csv"}, "is not valid UTF-8");
        row("a home not named in UTF-8: the window", "latin1", {}, "is not valid UTF-8");
    }

    void noHomeFolder()
    {
        // socios refuses to start and says why; it makes no member file anywhere else: not at the root, nor in a
        // folder whose name reads the same.
        if (testingServer())
            QSKIP("about the member file: TestCommandLine");
        QFETCH(QString, home);
        QFETCH(QStringList, arguments);
        QFETCH(QString, err);
        const QByteArray latin1 = QFile::encodeName(m_home->path()) + "/caf\xe9";
        QVERIFY(::mkdir(latin1.constData(), 0700) == 0);
        const auto removeLatin1 = qScopeGuard([&] { ::rmdir(latin1.constData()); }); // QDir cannot name it
        const auto before = folderContents(m_home->path());
        const bool atRoot = QFileInfo::exists("/MIS PROGRAMAS");
        const bool window = arguments.isEmpty();
        const SociosRun run =
            runSocios(home == "unset" ? std::nullopt : std::optional(latin1), arguments, window ? err : QString());
        QCOMPARE(run.exitCode, window ? -1 : 1); // the window's message waits for the operator
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
        QCOMPARE(folderContents(m_home->path()), before);
        QCOMPARE(QFileInfo::exists("/MIS PROGRAMAS"), atRoot);
    }

    void movingThroughCsvAndBack()
    {
        if (testingServer())
            QSKIP("about the member file: TestCommandLine");
        // Export, a new member file from it, and a restore of a backup: the members come back the same.
        const QList<MemberRecord> rows = allRows(m_memberPath);
        QCOMPARE(socios({"--export-csv", m_home->filePath("socios.csv")}).exitCode, 0);
        QCOMPARE(socios({"--backup", m_home->filePath("copias")}).exitCode, 0);
        QVERIFY(QFile::remove(m_memberPath));
        const SociosRun imported = socios({"--import-csv", m_home->filePath("socios.csv")});
        QCOMPARE(imported.exitCode, 0);
        QCOMPARE(allRows(m_memberPath), rows);
        const QString copy = QDir(m_home->filePath("copias")).entryInfoList({"dorvel-*.mdb"}).value(0).filePath();
        const SociosRun restored = socios({"--restore", copy});
        QCOMPARE(restored.exitCode, 0);
        QVERIFY2(restored.out.contains("kept as"), qPrintable(restored.out));
        QCOMPARE(allRows(m_memberPath), rows);
        QCOMPARE(socios({"--history", "0001"}).out.count('\n'), 1); // the copy holds the points history too
    }
    void killedAtEveryStep_data()
    {
        const DataTable<QString> row("mode");
        row("a restore", "restore");
        row("an import into no member file", "import");
        row("a backup", "backup");
    }

    void killedAtEveryStep()
    {
        // The real program killed on entering each of its calls that name or remove a file, one run each, until a
        // run ends by itself: the member file's place holds a whole file at every one of those instants, and what
        // each killed run left is removed by the next such command.
        if (testingServer())
            QSKIP("about the member file: TestCommandLine");
        if (!straceWorks())
            QSKIP("needs strace (scripts/setup.sh installs it), allowed to trace");
        QFETCH(QString, mode);
        QString folder = QFileInfo(m_memberPath).absolutePath();
        QList<MemberRecord> before = allRows(m_memberPath), after = before;
        QStringList arguments;
        if (mode == "restore") {
            const QString copy = m_home->filePath("copia.mdb");
            VERIFY_OK(MemberStore(m_memberPath).backupTo(copy));
            VERIFY_OK(MemberStore(m_memberPath).append(sampleMember("0099")));
            before = allRows(m_memberPath);
            arguments = QStringList{"--restore", copy};
        } else if (mode == "import") {
            QCOMPARE(socios({"--export-csv", m_home->filePath("socios.csv")}).exitCode, 0);
            arguments = QStringList{"--import-csv", m_home->filePath("socios.csv")};
        } else {
            folder = m_home->filePath("copias");
            arguments = QStringList{"--backup", folder};
        }
        const QDir made(m_home->filePath("hechas"));
        QVERIFY(made.mkpath("."));
        for (const QString& call : kFileCalls) {
            for (int step = 1; step < 100; ++step) {
                // A member file to import into is never there; copies made go elsewhere, so names never clash.
                if (mode == "import")
                    QFile::remove(m_memberPath);
                for (const QString& copy : QDir(folder).entryList({"dorvel-*.mdb"}, QDir::Files))
                    QVERIFY(QFile::rename(folder + '/' + copy, made.filePath(QString::number(step) + call + copy)));
                const SociosRun run =
                    socios(arguments, underStrace(call, QStringLiteral("signal=KILL:when=%1").arg(step)));
                if (mode == "restore") {
                    QVERIFY2(QFile::exists(m_memberPath), qPrintable(call + QString::number(step)));
                    const QList<MemberRecord> rows = allRows(m_memberPath);
                    QVERIFY2(rows == before || rows == after, qPrintable(call + QString::number(step)));
                } else if (mode == "import") {
                    QVERIFY(!QFile::exists(m_memberPath) || allRows(m_memberPath) == after);
                } else {
                    for (const QString& copy : QDir(folder).entryList({"dorvel-*.mdb"}, QDir::Files))
                        QCOMPARE(allRows(folder + '/' + copy), before);
                }
                if (run.exitCode != -1) {
                    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
                    break;
                }
            }
        }
        QCOMPARE(allRows(m_memberPath), after);
        const QStringList left = QDir(folder).entryList({"*.new-*"}, QDir::Files);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
        VERIFY_OK(MemberStore(m_memberPath).openOrCreate());
    }

    void tillStartingDuringARestore()
    {
        // A restore held up at each of its renames and second names, as a slow disk holds it up. A till that starts
        // meanwhile and adds points waits for it, and saves into the restored file, or is told that a restore is
        // under way; a start meanwhile never removes the file that the restore is still writing.
        if (testingServer())
            QSKIP("about the member file: TestCommandLine");
        if (!straceWorks())
            QSKIP("needs strace (scripts/setup.sh installs it), allowed to trace");
        const QString copy = m_home->filePath("copia.mdb");
        VERIFY_OK(MemberStore(m_memberPath).backupTo(copy));
        VERIFY_OK(MemberStore(m_memberPath).append(sampleMember("0099")));
        QProcess restore;
        startCommandLine(restore, m_home->path(), {"--restore", copy},
                         underStrace("rename,renameat,renameat2,link,linkat", "delay_enter=700000"));
        const QDir folder(QFileInfo(m_memberPath).absolutePath());
        QTRY_VERIFY_WITH_TIMEOUT(!folder.entryList({"dorvel.mdb.new-*"}, QDir::Files).isEmpty(), 20000);

        QProcess till;
        till.start(qEnvironmentVariable("SOCIOS_TEST_HELPER"), {"till", m_memberPath});
        till.write("click Command6 0001\nset Text8 5\nclick Command4\n");
        till.closeWriteChannel();
        const StoreResult<void> started = MemberStore(m_memberPath).openOrCreate();
        QVERIFY2(started || started.error().cause == StoreError::Cause::Restoring,
                 !started ? qPrintable(started.error().toString()) : "");
        QVERIFY(till.waitForFinished(30000) && restore.waitForFinished(30000));
        QVERIFY2(restore.exitCode() == 0, restore.readAllStandardError().constData());

        const QString said = QString::fromUtf8(till.readAllStandardOutput());
        const bool told = said.contains("a copy is being restored");
        QVERIFY2(told || !said.contains("cannot"), qPrintable(said));
        const QList<MemberRecord> rows = allRows(m_memberPath);
        QCOMPARE(rows.size(), 6); // the copy's members
        QCOMPARE(rows.front().puntos, told ? " 175" : " 180");
    }

    void movingAShopToTheServer()
    {
        if (!testingServer())
            QSKIP("on the test server: TestCommandLine-postgresql");
        // The shop's file out to CSV, then into the chain's empty server; a copy of the server comes back whole.
        TestStore server;
        server.create();
        const QList<MemberRecord> rows = allRows(m_memberPath);
        const QString csv = m_home->filePath("socios.csv");
        QCOMPARE(socios({"--export-csv", csv}).exitCode, 0);
        const SociosRun imported = socios({"--database", server.uri(), "--import-csv", csv});
        QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
        QCOMPARE(server.allRows(), rows);
        QCOMPARE(socios({"--database", server.uri(), "--import-csv", csv}).exitCode, 4); // never merged
        QVERIFY(MemberStore(server.address())
                    .changePoints("0001", [](const QString&) { return std::optional<QString>(" 9"); })
                    .ok());
        QVERIFY(socios({"--database", server.uri(), "--history", "0001"}).out.contains("\t 175\t-166\t 9\t"));
        const SociosRun copied = socios({"--database", server.uri(), "--backup", m_home->filePath("copias")});
        QCOMPARE(copied.exitCode, 0);
        const QString copy = QDir(m_home->filePath("copias")).entryInfoList({"socios-*.mdb"}).value(0).filePath();
        QCOMPARE(allRows(copy).size(), rows.size());
        QCOMPARE(MemberStore(copy).history("0001")->size(), 1u);
    }

    void memberData_data()
    {
        // card: a number of tests/data/members.sql (file, or server in the run on the server); rows and records: of
        // "ficha" and of the points history printed; "ERASED": the number erased first.
        const DataTable<QString, int, int, int, QString> row("card", "exit", "rows", "records", "err");
        row("a member with a points history", "0001", 0, 1, 1, "");
        row("two rows on one number, in table order", "0020", 0, 2, 0, "");
        row("quotes, apostrophes and accents", "12", 0, 1, 0, "");
        row("unknown card", "0099", 6, 0, 0, "holds nothing of card number 0099\n");
        row("an erased card", "ERASED", 6, 0, 0, "holds nothing of card number 0012: it was erased on ");
    }

    void memberData()
    {
        QFETCH(QString, card);
        QFETCH(int, rows);
        QFETCH(int, records);
        const QStringList store = chooseMembers();
        if (card == "ERASED") {
            card = "0012";
            QCOMPARE(socios(store + QStringList{"--erase", card}).exitCode, 0);
        }
        const QList<MemberRecord> all = memberRows();
        const SociosRun run = socios(store + QStringList{"--member-data", card});
        QTEST(run.exitCode, "exit");
        QFETCH(QString, err);
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
        if (run.exitCode != 0) {
            QCOMPARE(run.out, QString());
            return;
        }
        // A program can load it: every field of every row as stored, the records of the number alone.
        QJsonParseError error;
        const QJsonObject data = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        QCOMPARE(data["ntarjeta"].toString(), card);
        QJsonArray expected;
        for (const MemberRecord& member : all)
            if (member.ntarjeta == card) {
                QJsonObject fields;
                for (Field f : allFields())
                    fields[fieldName(f)] = member[f];
                expected.append(fields);
            }
        QCOMPARE(expected.size(), rows);
        QCOMPARE(data["ficha"].toArray(), expected);
        const QJsonArray history = data["movimientos"].toArray();
        QCOMPARE(history.size(), records);
        for (const QJsonValue& record : history)
            QVERIFY(record["ntarjeta"] == card && record["despues"] == " 175" && record["operacion"] != "");
        QCOMPARE(data["supresiones"].toArray(), QJsonArray());
    }

    void erase_data()
    {
        // what: "till" erases with a till open on the member, which then adds points to it; "bytes", "copies" and
        // "restore" are about the member file, "server copy" about the server; card: what is erased.
        const DataTable<QString, QString, int, QString, QString> row("what", "card", "exit", "out", "err");
        row("a member while a till has it open", "till", "0001", 0,
            ": 1 members and 1 points history records\n  Ana Ruiz Gómez\n", "");
        row("two rows on one number", "", "0020", 0,
            "2 members and 0 points history records\n  Primero Duplicado\n  Segundo Duplicado\n", "");
        row("unknown card", "", "0099", 6, "", "holds nothing of card number 0099\nsocios: nothing was changed.\n");
        row("no trace in the bytes of the file or its log", "bytes", "0042", 0, "  Zacarías Quintanilla-Erasmo\n", "");
        row("another program reads on: the log it keeps is named", "reader", "0001", 1, "  Ana Ruiz Gómez\n",
            "socios: other programs reading " + QDir::tempPath() + "/");
        row("every copy rewritten; one that cannot be is named", "copies", "0001", 1,
            "socios: rewrote the copy COPIES/dorvel-2026-01-02.mdb without card number 0001\n",
            "socios: cannot rewrite the copy COPIES/dorvel-2026-01-03.mdb, which may still hold card number 0001");
        row("a restore of an older copy erases it again", "restore", "0001", 0, "  Ana Ruiz Gómez\n", "");
        row("a copy of the server carries the register", "server copy", "0001", 0, "  Ana Ruiz Gómez\n", "");
        row("a member file that cannot be written: nothing is erased", "read-only", "0001", 1, "",
            "\nsocios: nothing was changed.\n");
    }

    void erase()
    {
        QFETCH(QString, what);
        QFETCH(QString, card);
        QFETCH(QString, out);
        QFETCH(QString, err);
        if (testingServer() &&
            (what == "bytes" || what == "reader" || what == "copies" || what == "restore" || what == "read-only"))
            QSKIP("about the member file: TestCommandLine");
        if (!testingServer() && what == "server copy")
            QSKIP("on the test server: TestCommandLine-postgresql");
        const QStringList store = chooseMembers();
        const QString copies = m_home->filePath("MIS PROGRAMAS/copias");
        out.replace("COPIES", copies);
        err.replace("COPIES", copies);
        QProcess till;
        // A till in the middle of adding points to the member, which it shows, when the erasure comes.
        const auto tillSays = [&](const QByteArray& line) {
            till.write(line + '\n');
            while (!till.canReadLine() && till.waitForReadyRead(20000)) {
            }
            return till.readLine();
        };
        if (what == "till" || what == "bytes") {
            // Open, the till keeps the log, with the pages of every save since, from being removed.
            till.start(qEnvironmentVariable("SOCIOS_TEST_HELPER"), {"till", m_server ? m_server->uri() : m_memberPath});
            const QByteArray shown = tillSays("click Command6 " + QByteArray(what == "till" ? "0001" : "0012"));
            QVERIFY2(shown.contains(what == "till" ? "Ruiz" : "Núñez"), shown.constData());
        }
        // Texts found nowhere else, put where an erased member leaves them: a row changed again and again while
        // another program reads, so that the log keeps growing with a page of them at every change.
        const QList<QByteArray> texts = {"Quintanilla-Erasmo", "zacarias.qe@example.org", "Prefiere llamadas"};
        if (what == "bytes") {
            QProcess reader;
            QVERIFY(startHelper(reader, {"sql", m_memberPath, "1000", "BEGIN", "SELECT count(*) FROM ficha"}, "ready"));
            MemberRecord member = sampleMember(card, "Zacarías");
            member.apellidos = texts[0];
            member.email = texts[1];
            member.observaciones = texts[2];
            VERIFY_OK(MemberStore(m_memberPath).append(member));
            for (const QString points : {" 3", " 4", " 5", " 6", " 7", " 8"})
                QVERIFY(MemberStore(m_memberPath).changePoints(card, [&](const QString&) { return points; }).ok());
            QVERIFY(reader.waitForFinished(20000));
            const QByteArray before = fileBytes(m_memberPath) + fileBytes(m_memberPath + "-wal");
            for (const QByteArray& text : texts)
                QVERIFY(before.contains(text));
        }
        std::optional<QString> older;
        if (what == "copies") {
            // Two good copies; a third that is no member file at all.
            const Backups backups(m_memberPath);
            for (const QDate day : {QDate(2026, 1, 1), QDate(2026, 1, 2)})
                QCOMPARE(backups.makeDailyCopy(MemberStore(m_memberPath), day).outcome, Backups::Daily::Outcome::Made);
            QFile damaged(copies + "/dorvel-2026-01-03.mdb");
            QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(4096, 'x')) == 4096);
        }
        if (what == "restore") {
            QCOMPARE(socios({"--backup", m_home->filePath("antes")}).exitCode, 0);
            older = QDir(m_home->filePath("antes")).entryInfoList({"dorvel-*.mdb"}).value(0).filePath();
        }
        QProcess reader;
        if (what == "reader") // longer than an erasure waits to empty the log
            QVERIFY(startHelper(reader, {"sql", m_memberPath, "6000", "BEGIN", "SELECT count(*) FROM ficha"}, "ready"));
        const QList<MemberRecord> before = memberRows();
        const QByteArray bytes = m_server ? QByteArray() : fileBytes(m_memberPath);
        if (what == "read-only" && !makeReadOnly(m_memberPath, m_undoes))
            QSKIP("no read-only files here");

        const SociosRun run = socios(store + QStringList{"--erase", card});
        QTEST(run.exitCode, "exit");
        QVERIFY2(run.out.contains(out) && run.err.contains(err), qPrintable(run.out + " | " + run.err));
        QList<MemberRecord> kept = before;
        if (what != "read-only")
            kept.removeIf([&](const MemberRecord& member) { return member.ntarjeta == card; });
        QCOMPARE(memberRows(), kept);
        if (run.exitCode == 6 || what == "read-only") {
            if (!m_server)
                QCOMPARE(fileBytes(m_memberPath), bytes);
            return;
        }
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(membersSql("SELECT count(*) FROM movimientos WHERE ntarjeta = '" + card + "';"),
                 (QList<QStringList>{{"0"}}));
        QCOMPARE(membersSql("SELECT * FROM supresiones;"), (QList<QStringList>{{card, today}}));

        if (what == "till") {
            // Its next operation finds the member gone, and writes nothing back.
            tillSays("set Text8 5");
            const QByteArray said = tillSays("click Command4");
            QVERIFY2(said.contains("no existe este número de tarjeta"), said.constData());
            till.closeWriteChannel();
            QVERIFY(till.waitForFinished(20000));
            QCOMPARE(memberRows(), kept);
            QCOMPARE(membersSql("SELECT count(*) FROM movimientos WHERE ntarjeta = '" + card + "';"),
                     (QList<QStringList>{{"0"}}));
        }
        if (what == "reader")
            QVERIFY(reader.waitForFinished(20000));
        if (what == "bytes") {
            const QByteArray after = fileBytes(m_memberPath) + fileBytes(m_memberPath + "-wal");
            for (const QByteArray& text : texts)
                QVERIFY2(!after.contains(text), text.constData());
            till.closeWriteChannel();
            QVERIFY(till.waitForFinished(20000));
        }
        if (what == "copies") {
            // Each good copy without the member, with the register's row, checked; the damaged one as it was.
            for (const QString day : {"2026-01-01", "2026-01-02"}) {
                const QString copy = copies + "/dorvel-" + day + ".mdb";
                QCOMPARE(allRows(copy), kept);
                QCOMPARE(execSql(copy, "SELECT * FROM supresiones;"), (QList<QStringList>{{card, today}}));
                QVERIFY(!fileBytes(copy).contains("Ruiz Gómez"));
            }
            QCOMPARE(fileBytes(copies + "/dorvel-2026-01-03.mdb"), QByteArray(4096, 'x'));
        }
        if (what == "restore") {
            const SociosRun restored = socios({"--restore", *older});
            QVERIFY2(restored.exitCode == 0 && restored.out.contains("1 members of the copy were erased again"),
                     qPrintable(restored.out + restored.err));
            QCOMPARE(allRows(m_memberPath), kept);
            QCOMPARE(execSql(m_memberPath, "SELECT * FROM supresiones;"), (QList<QStringList>{{card, today}}));
            QVERIFY(!fileBytes(m_memberPath).contains("Ruiz Gómez"));
        }
        if (what == "server copy") {
            QCOMPARE(socios(store + QStringList{"--backup", m_home->filePath("copias")}).exitCode, 0);
            const QString copy = QDir(m_home->filePath("copias")).entryInfoList({"socios-*.mdb"}).value(0).filePath();
            QCOMPARE(allRows(copy), kept);
            QCOMPARE(execSql(copy, "SELECT * FROM supresiones;"), (QList<QStringList>{{card, today}}));
        }
    }

    void cardsTheTillCannotReach_data()
    {
        // Both imports into a new member file; the summary names every number that the till cannot reach. "CSV":
        // a file whose card numbers are given in `cards`; "LONG": accessFileWithLongCards(); "JET4": the fixture.
        const DataTable<QString, QStringList, QString, int> row("source", "cards", "out", "named");
        row("CSV: too long by characters, not by UTF-16 units; shared", "CSV",
            {"12345678", "ñ1234567", "0007", "😀123456", "0007", "1234567", "0007"},
            "socios: 2 imported card numbers are longer than the 7 characters that the till's prompt keeps; the "
            "till cannot open the members holding them:\n  12345678 (the till reads 1234567)\n  ñ1234567 (the till "
            "reads 1234567)\nsocios: 1 imported card number is held by more than one row:\n  0007 (3 rows)\n",
            3);
        row("CSV: none", "CSV", {"1", "1234567"}, "", 0);
        row("Access: the fixture's shared number", "JET4", {},
            "10 fields without a value stored as \"*****\"\nsocios: 1 imported card number is held by more than one "
            "row:\n  0007 (2 rows)\n",
            1);
        row("Access: 192 numbers too long, every one named", "LONG", {},
            "keeps; the till cannot open the members holding them:\n  996367614 (the till reads 9963676)\n", 193);
    }
    void cardsTheTillCannotReach()
    {
        if (testingServer())
            QSKIP("about the member file: TestCommandLine");
        QFETCH(QString, source);
        QFETCH(QStringList, cards);
        QVERIFY(QFile::remove(m_memberPath));
        const QString file = m_home->filePath(source == "CSV" ? "socios.csv" : "socios-access.mdb");
        QByteArray bytes = source == "LONG" ? accessFileWithLongCards() : fileBytes(testDataPath("ficha-jet4.mdb"));
        if (source == "CSV") {
            bytes = "ntarjeta;nsocio;nombre;apellidos;calle;cp;ciudad;telefono;email;fnacimiento;observaciones;puntos;"
                    "fcaducidad\n";
            for (const QString& card : cards)
                bytes += card.toUtf8() + ";1;Ana;Gil;C/ Mayor 1;50001;Zaragoza;976;*****;01/02/1990;*****; 0;06/2028\n";
        }
        QFile written(file);
        QVERIFY(written.open(QIODevice::WriteOnly) && written.write(bytes) == bytes.size());
        written.close();

        const SociosRun run = socios({source == "CSV" ? "--import-csv" : "--import-access", file});
        QCOMPARE(run.exitCode, 0);
        QFETCH(QString, out);
        QVERIFY2(out.isEmpty() ? run.out.count('\n') == 1 : run.out.contains(out), qPrintable(run.out));
        QTEST(int(run.out.count("\n  ")), "named");
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
