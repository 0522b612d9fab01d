#include "app/Appearance.h"
#include "app/SociosApp.h"
#include "cli/CommandLine.h"
#include "store/MemberStore.h"
#include "tests/support/GuiDriving.h"
#include "tests/support/TestSupport.h"

#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

// Start-up on the earlier program's Access member file, through the real application and its real dialogs: the
// question, importing with the original kept, declining, and failures (a damaged file, a disk that fills up in the
// middle) that leave the folder exactly as it was.
class TestAccessUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { applyAppearance(); }

    void startup_data()
    {
        // cut: bytes cut from the end of the file; fileLimit: the most bytes this process may write to one file (0:
        // no limit), so that the disk is "full" once the new member file is built and while the original is being
        // copied.
        const DataTable<QString, qint64, QString, qint64, int, QStringList, QString> row(
            "file", "cut", "answer", "fileLimit", "exitCode", "boxes", "says");
        const QString question = QStringLiteral("accessImportQuestion");
        const QString failure = QStringLiteral("accessImportFailure");
        const QString jet4 = QStringLiteral("ficha-jet4.mdb");
        row("imported", jet4, 0, "Importar", 0, kExitOk, {question, "accessImportSummary"},
            "Se han importado 242 socios del archivo del programa anterior.\n\n10 campos sin valor se han guardado "
            "como «*****».\n\nEl archivo original se conserva sin cambios como:\nDIR/dorvel (Access).mdb");
        row("declined", jet4, 0, "Salir", 0, kExitDeclined, {question}, "tiene 242 socios");
        row("disk full in the middle", jet4, 0, "Importar", 120000, kExitStoreFailure, {question, failure},
            "No se puede guardar la copia del archivo original en la misma carpeta.\n\nNo se ha cambiado nada");
        row("damaged", "access/damaged/endless-properties.mdb", 0, "", 0, kExitBadInput, {failure},
            "El archivo está dañado: no se pueden leer todos sus socios.\n\nNo se ha cambiado nada");
        row("cut short", jet4, 1024, "Salir", 0, kExitBadInput, {failure},
            "El archivo está incompleto: le falta una parte, quizá porque se copió a medias. No se pueden leer "
            "todos sus socios.\n\nNo se ha cambiado nada");
    }
    void startup()
    {
        QFETCH(QString, file);
        QFETCH(qint64, cut);
        QFETCH(qint64, fileLimit);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dorvel.mdb"));
        QFile copy(path);
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(fileBytes(testDataPath(file)).chopped(cut)) > 0);
        copy.close();
        const QMap<QString, QByteArray> before = folderContents(dir.path());

        QFETCH(QString, answer);
        QFETCH(QStringList, boxes);
        DialogDriver driver({}, answer, boxes.size());
        struct rlimit saved = {};
        getrlimit(RLIMIT_FSIZE, &saved);
        if (fileLimit) {
            std::signal(SIGXFSZ, SIG_IGN); // a write beyond the limit fails instead of ending the process
            const struct rlimit limit = {rlim_t(fileLimit), saved.rlim_max};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        const int exitCode = runSocios(StoreAddress::file(path), FixedClock(QDate(2026, 3, 10)));
        setrlimit(RLIMIT_FSIZE, &saved);

        QTEST(exitCode, "exitCode");
        QCOMPARE(driver.names(), boxes);
        QFETCH(QString, says);
        const QString last = driver.boxes.last().text;
        QVERIFY2(last.contains(says.replace("DIR", dir.path())), qPrintable(last));
        if (boxes.first() == QLatin1String("accessImportQuestion"))
            QCOMPARE(driver.boxes.first().text,
                     "El archivo de socios\n" + path +
                         "\nes el del programa anterior (Access) y tiene 242 socios.\n\n"
                         "¿Importar los socios al nuevo archivo de socios? El archivo original "
                         "se conservará sin cambios en la misma carpeta con el nombre «dorvel "
                         "(Access).mdb».");
        if (exitCode != kExitOk) {
            QVERIFY(!driver.windowShown);
            QCOMPARE(folderContents(dir.path()), before);
            return;
        }
        QVERIFY(driver.windowShown);
        QCOMPARE(folderContents(dir.path()).keys(), (QStringList{"dorvel (Access).mdb", "dorvel.mdb"}));
        QCOMPARE(fileBytes(dir.filePath("dorvel (Access).mdb")), before.value("dorvel.mdb"));
        QCOMPARE(MemberStore(path).rowCount().value(), 242);
        QCOMPARE(allRows(path).last().nsocio, QStringLiteral("*****"));
    }
};

QTEST_MAIN(TestAccessUpgrade)
#include "TestAccessUpgrade.moc"
