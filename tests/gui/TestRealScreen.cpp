#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// The real program on a real X server (Xvfb, through Qt's xcb platform), as on a shop's PC: what start-up leaves
// until the window is on screen (the notices, the check of the file, the day's copy, a birthday list read late)
// must happen there, not only on the offscreen platform. The program's log tells what it showed; the files tell
// what it made.
class TestRealScreen : public QObject
{
    Q_OBJECT

    // The display of the X server that CTest started (fixture "xvfb"); the test fails without one.
    static QString display()
    {
        QFile file(qEnvironmentVariable("SOCIOS_TEST_DISPLAY"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(file.readAll()).trimmed();
    }

private slots:
    void initTestCase() { QVERIFY2(!display().isEmpty(), "no X server: scripts/test-xvfb.sh did not start Xvfb"); }

    void startUpWorkRuns_data()
    {
        // file: what stands at the member file's place; shown: parts of the log that must appear, in order
        const DataTable<QString, QStringList> row("file", "shown");
        row("a first start", "none",
            {"window exposed",
             "notice shown: No había ningún archivo de socios, así que se ha creado uno nuevo y vacío", "file checked",
             "daily copy: 0"});
        row("a file without lookup indexes", "unindexed",
            {"window exposed", "birthday list shown: %1 lines", "file checked", "daily copy: 0"});
        row("a read-only file", "read-only",
            {"window exposed", "notice shown: El archivo de socios es de solo lectura", "file checked"});
        row("a read-only file without lookup indexes", "read-only unindexed",
            {"window exposed", "birthday list shown: %1 lines", "file checked"});
    }

    void startUpWorkRuns()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, shown);
        QTemporaryDir home;
        const QString folder = home.filePath("MIS PROGRAMAS");
        const QString path = folder + "/dorvel.mdb";
        const QDate today = QDate::currentDate();
        QList<QStringList> undoes;
        auto undo = qScopeGuard([&] {
            for (const QStringList& command : undoes)
                QProcess::execute(command.first(), command.mid(1));
        });
        if (file != "none") {
            QTemporaryDir source;
            QVERIFY(QDir().mkpath(folder) && QFile::copy(memberFileFromFixture(source, "members.sql"), path));
        }
        if (file.contains("unindexed")) {
            // As another program leaves it, with a member whose birthday is each of the next nine days: those that
            // fall in this year are listed.
            QString sql = "DROP INDEX ficha_ntarjeta;\nDROP INDEX ficha_cumple;\n";
            int listed = 0;
            for (int ahead = 1; ahead <= 9; ++ahead) {
                const QDate birthday = today.addDays(ahead);
                listed += birthday.year() == today.year();
                sql += QStringLiteral("INSERT INTO ficha SELECT 'C%1', nsocio, nombre, apellidos, calle, cp, ciudad, "
                                      "telefono, email, '%2', observaciones, puntos, fcaducidad FROM ficha WHERE "
                                      "ntarjeta = '0001';\n")
                           .arg(ahead)
                           .arg(birthday.addYears(-30).toString("dd/MM/yyyy"));
            }
            execSql(path, sql);
            shown[1] = shown[1].arg(listed);
        }
        if (file.startsWith("read-only") && !makeReadOnly(path, undoes))
            QSKIP("this system cannot make the file read-only");

        QProcess socios;
        QProcessEnvironment environment;
        environment.insert("HOME", home.path());
        environment.insert("DISPLAY", display());
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("XDG_RUNTIME_DIR", home.path());
        environment.insert("LC_ALL", "C.UTF-8");
        environment.insert("QT_LOGGING_RULES", "socios.*.info=true");
        socios.setProcessEnvironment(environment);
        socios.setProcessChannelMode(QProcess::MergedChannels);
        socios.start(qEnvironmentVariable("SOCIOS_APP"), {});
        auto stop = qScopeGuard([&] {
            socios.kill();
            socios.waitForFinished();
        });
        QString log;
        auto logged = [&](const QString& line) {
            log += QString::fromUtf8(socios.readAll());
            return log.contains(line);
        };
        for (const QString& line : shown)
            QTRY_VERIFY2_WITH_TIMEOUT(logged(line), qPrintable(line + " not in the log:\n" + log), 30000);
        QVERIFY2(!log.contains("not exposed") && !log.contains("storeFailure"), qPrintable(log));

        // The day's copy is a whole member file that passes its check; a file that cannot be written still
        // gets its copy.
        const QString copy = folder + "/copias/dorvel-" + today.toString("yyyy-MM-dd") + ".mdb";
        QTRY_VERIFY2_WITH_TIMEOUT(logged("daily copy"), qPrintable(log), 30000);
        QVERIFY2(QFile::exists(copy), qPrintable(log));
        QCOMPARE(execSql(copy, "PRAGMA quick_check"), QList<QStringList>{{"ok"}});
    }
};

QTEST_GUILESS_MAIN(TestRealScreen)
#include "TestRealScreen.moc"
