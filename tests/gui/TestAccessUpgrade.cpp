#include "app/Appearance.h"
#include "app/SociosApp.h"
#include "store/MemberStore.h"
#include "tests/support/GuiDriving.h"
#include "tests/support/TestSupport.h"

#include <QProgressDialog>
#include <QPushButton>
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
        // file: "LONG CARDS" for accessFileWithLongCards(); cut: bytes cut from the end of the file; fileLimit: the
        // most bytes this process may write to one file (0: no limit), so that the disk is "full" once the new member
        // file is built and while the original is being copied; says: part of the last box's text; details: its
        // number of lines and how they end; end: how start-up ended (SociosEnd::How), the window closed, declined, or
        // the import's failure.
        const DataTable<QString, qint64, QString, qint64, QString, QStringList, QString, int, QString> row(
            "file", "cut", "answer", "fileLimit", "end", "boxes", "says", "detailLines", "detailsEnd");
        const QString question = QStringLiteral("accessImportQuestion");
        const QString failure = QStringLiteral("accessImportFailure");
        const QString jet4 = QStringLiteral("ficha-jet4.mdb");
        const QString summary = QStringLiteral("accessImportSummary");
        row("imported", jet4, 0, "Importar", 0, "closed", {question, summary},
            "Se han importado 242 socios del archivo del programa anterior.\n\n10 campos sin valor se han guardado "
            "como «*****».\n\nEl número de tarjeta 0007 está en 2 fichas.\n\nEl archivo original se conserva sin "
            "cambios como:\nDIR/dorvel (Access).mdb",
            2, "Números de tarjeta que están en más de una ficha:\n0007 (2 fichas)");
        row("card numbers too long: the first ten named, every one in the details", "LONG CARDS", 0, "Importar", 0,
            "closed", {question, summary},
            "\n\n192 números de tarjeta tienen más de 7 caracteres, y la caja solo lee los 7 primeros: no puede "
            "abrir a esos socios. Son: 996367614, 963534791, 950102852, 978490067, 986834835, 948162074, "
            "995989973, 911756568, 923825305, 901422014 y 182 más (todos en los detalles).\n\nEl número de "
            "tarjeta ***** está en 50 fichas.\n\n",
            1 + 192 + 3,
            "\n950523223 (la caja lee 9505232)\n\nNúmeros de tarjeta que están en más de una ficha:\n***** (50 "
            "fichas)");
        row("declined", jet4, 0, "Salir", 0, "declined", {question}, "tiene 242 socios", 0, "");
        row("disk full in the middle", jet4, 0, "Importar", 120000, "KeepOriginal", {question, failure},
            "No se puede guardar la copia del archivo original en la misma carpeta.\n\nNo se ha cambiado nada", 0, "");
        row("damaged", "access/damaged/endless-properties.mdb", 0, "", 0, "Damaged", {failure},
            "El archivo está dañado: no se pueden leer todos sus socios.\n\nNo se ha cambiado nada", 0, "");
        row("cut short", jet4, 1024, "Salir", 0, "CutShort", {failure},
            "El archivo está incompleto: le falta una parte, quizá porque se copió a medias. No se pueden leer "
            "todos sus socios.\n\nNo se ha cambiado nada",
            0, "");
    }
    void startup()
    {
        QFETCH(QString, file);
        QFETCH(qint64, cut);
        QFETCH(qint64, fileLimit);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dorvel.mdb"));
        QFile copy(path);
        const QByteArray bytes = file == "LONG CARDS" ? accessFileWithLongCards() : fileBytes(testDataPath(file));
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(bytes.chopped(cut)) > 0);
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
        const SociosEnd end = runSocios(StoreAddress::file(path), FixedClock(QDate(2026, 3, 10)));
        setrlimit(RLIMIT_FSIZE, &saved);

        using How = SociosEnd::How;
        const QMap<ImportError::Kind, QString> kinds = {{ImportError::Kind::KeepOriginal, "KeepOriginal"},
                                                        {ImportError::Kind::Damaged, "Damaged"},
                                                        {ImportError::Kind::CutShort, "CutShort"}};
        QTEST(end.how == How::Closed     ? QString("closed")
              : end.how == How::Declined ? QString("declined")
              : end.importError          ? kinds.value(end.importError->kind, "another failure")
                                         : QString("not started"),
              "end");
        QCOMPARE(driver.names(), boxes);
        QFETCH(QString, says);
        const QString last = driver.boxes.last().text;
        QVERIFY2(last.contains(says.replace("DIR", dir.path())), qPrintable(last));
        const QString details = driver.boxes.last().details;
        QTEST(details.isEmpty() ? 0 : int(details.count('\n')) + 1, "detailLines");
        QFETCH(QString, detailsEnd);
        QVERIFY2(detailsEnd.isEmpty() || details.endsWith(detailsEnd), qPrintable(details.right(200)));
        if (boxes.first() == QLatin1String("accessImportQuestion"))
            QCOMPARE(driver.boxes.first().text,
                     "El archivo de socios\n" + path +
                         "\nes el del programa anterior (Access) y tiene 242 socios.\n\n"
                         "¿Importar los socios al nuevo archivo de socios? El archivo original "
                         "se conservará sin cambios en la misma carpeta con el nombre «dorvel "
                         "(Access).mdb».");
        if (end.how != How::Closed) {
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

    void importOffTheWindowThread()
    {
        // A stand-in reader that answers the count at once, then, asked for the rows, marks that it waits and holds
        // them back until the window's thread has seen the mark. The import succeeds only if that thread keeps
        // turning its event loop while the import reads (a reader silent for 3 s is given up).
        QTemporaryDir dir;
        QByteArray head = "socios-mdb-reader 1\ntable\t2\t13\n";
        for (Field f : allFields())
            head += QByteArray("column\t10\t") + fieldName(f) + '\n';
        QByteArray rows = head;
        for (const char* card : {"0001", "0002"})
            rows += "row\t" + QByteArray(card) + QByteArray("\tx").repeated(12) + '\n';
        const QMap<QString, QByteArray> files = {
            {"head", head + "end\t0\n"},
            {"rows", rows + "end\t2\n"},
            {"reader", "#!/bin/sh\n[ \"$1\" = --header-only ] && exec /bin/cat DIR/head\n: > DIR/waiting\nwhile [ ! "
                       "-e DIR/go ]; do /bin/sleep 0.01; done\nexec /bin/cat DIR/rows\n"}};
        for (const auto& [name, bytes] : files.asKeyValueRange()) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) &&
                    file.write(QByteArray(bytes).replace("DIR", QFile::encodeName(dir.path()))) > 0);
        }
        QFile::setPermissions(dir.filePath("reader"), QFile::ReadOwner | QFile::ExeOwner);
        const QString path = dir.filePath(QStringLiteral("dorvel.mdb"));
        QVERIFY(QFile::copy(testDataPath("ficha-jet4.mdb"), path));

        // The progress window, once the reader waits: it offers no button and stays open when asked to close.
        int buttons = -1;
        bool stayedOpen = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            if (!progress || !QFile::exists(dir.filePath("waiting")) || QFile::exists(dir.filePath("go")))
                return;
            buttons = int(progress->findChildren<QPushButton*>().size());
            progress->close();
            progress->reject();
            stayedOpen = progress->isVisible();
            QFile(dir.filePath("go")).open(QIODevice::WriteOnly);
        });
        poll.start(5);
        const QByteArray reader = qgetenv("SOCIOS_MDB_READER");
        qputenv("SOCIOS_MDB_READER", QFile::encodeName(dir.filePath("reader")));
        DialogDriver driver({}, QStringLiteral("Importar"), 2);
        const SociosEnd end = runSocios(StoreAddress::file(path), FixedClock(QDate(2026, 3, 10)));
        qputenv("SOCIOS_MDB_READER", reader);

        QCOMPARE(driver.names(), (QStringList{"accessImportQuestion", "accessImportSummary"}));
        QVERIFY(end.how == SociosEnd::How::Closed && end.eventLoop == 0);
        QCOMPARE(buttons, 0);
        QVERIFY(stayedOpen);
        QCOMPARE(MemberStore(path).rowCount().value(), 2);
    }
};

QTEST_MAIN(TestAccessUpgrade)
#include "TestAccessUpgrade.moc"
