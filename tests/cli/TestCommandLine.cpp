#include "store/MemberStore.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// The command-line modes of the real program, as an administrator runs them over ssh: no display, results on
// stdout, problems on stderr, and an exit code for each kind of outcome.
class TestCommandLine : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_home;
    QString m_memberPath;

    SociosRun socios(const QStringList& arguments) { return runCommandLine(m_home->path(), arguments); }

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

    void modes_data()
    {
        if (testingServer())
            QSKIP("about the member file: TestCommandLine");
        // arguments: "HOME" stands for the home folder; out and err: parts of what is printed.
        const DataTable<QStringList, int, QString, QString> row("arguments", "exit", "out", "err");
        row("version", {"--version"}, 0, "socios ", "");
        row("unknown option", {"--copiar"}, 2, "", "Unknown option 'copiar'");
        row("a bad server address", {"--database", "postgresql://tienda/socios?puerto=1"}, 2, "",
            "--database: puerto is not a connection parameter");
        row("two modes", {"--backup", "HOME/copias", "--history", "0001"}, 2, "", "cannot be combined");
        row("export", {"--export-csv", "HOME/socios.csv"}, 0, "exported 6 members", "");
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
        arguments.replaceInStrings("HOME", m_home->path());
        if (arguments.contains("--import-csv"))
            QCOMPARE(socios({"--export-csv", arguments.last()}).exitCode, 0);
        const QByteArray before = fileBytes(m_memberPath);
        const SociosRun run = socios(arguments);
        QCOMPARE(run.exitCode, exit);
        QVERIFY2(run.out.contains(out) && run.err.contains(err), qPrintable(run.out + " | " + run.err));
        QCOMPARE(fileBytes(m_memberPath), before); // none of these modes writes to the member file
        if (arguments.contains("--backup") && exit == 0)
            QCOMPARE(QDir(arguments[1]).entryList({"dorvel-*.mdb"}).size(), 1);
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
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
