#include "app/Appearance.h"
#include "app/Language.h"
#include "app/SociosApp.h"
#include "tests/support/GuiDriving.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestSupport.h"

#include <QListView>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

// What the operator is told about the member file once the window is on screen, what is checked in the background
// meanwhile, and a prompt that the system closes by quitting the application.
class TestStartupNotices : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QList<QStringList> m_undoes;
    std::unique_ptr<SociosApp> m_app;
    std::optional<DialogDriver> m_boxes;

    // Starts the application on `path`; m_boxes notes the messages it shows until its checks end.
    void start(const QString& path)
    {
        m_boxes.emplace(QList<PromptStep>());
        m_app = std::make_unique<SociosApp>(path);
        QVERIFY(m_app->start(FixedClock(QDate(2026, 3, 10))));
        m_app->view()->show();
        QTRY_VERIFY_WITH_TIMEOUT(m_app->checksDone(), 20000);
        QTest::qWait(50); // a message queued by the checks
    }

private slots:
    void initTestCase()
    {
        applyAppearance();
        installSpanishTranslations();
    }
    void init()
    {
        m_dir.emplace();
        // The after-show work waits for the window's expose, never for a time-out.
        QTest::failOnWarning(QRegularExpression("not exposed"));
    }
    void cleanup()
    {
        m_app.reset();
        m_boxes.reset();
        for (const QStringList& command : std::exchange(m_undoes, {}))
            QProcess::execute(command.first(), command.mid(1));
    }

    void toldOnce_data()
    {
        const DataTable<QString, QString> row("file", "notice"); // notice: a part of the one message shown
        row("a new, empty file", "new", "se ha creado uno nuevo y vacío");
        row("a read-only file", "read-only", "solo lectura");
        // A till saved into the log after the file was made read-only, and was stopped.
        row("a read-only file, its last saves in the log", "read-only log",
            "quedaron junto al archivo, en dorvel.mdb-wal");
        row("a damaged file", "damaged", "está dañado");
        row("a sound file", "sound", "");
        row("a file without lookup indexes", "unindexed", "");
    }

    void toldOnce()
    {
        QFETCH(QString, file);
        QFETCH(QString, notice);
        QString path = m_dir->filePath("MIS PROGRAMAS/dorvel.mdb");
        if (file != "new")
            path = memberFileFromFixture(*m_dir, "members.sql");
        if (file == "unindexed") // as another program leaves it: the window comes first, the list once they are built
            execSql(path, "DROP INDEX ficha_ntarjeta;\nDROP INDEX ficha_cumple");
        if (file == "read-only log") {
            QProcess till;
            QVERIFY(startHelper(till,
                                {"sql", path, "600000", "PRAGMA wal_autocheckpoint=0",
                                 "UPDATE ficha SET puntos = ' 200' WHERE ntarjeta = '0001'"},
                                "ready"));
            till.kill();
            till.waitForFinished();
        }
        if (file.startsWith("read-only") && !makeReadOnly(path, m_undoes))
            QSKIP("this system cannot make the file read-only");
        if (file == "damaged") {
            // Pages of the card number index overwritten: start-up reads none of them, the check reads them all.
            execSql(path, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) INSERT INTO "
                          "ficha SELECT 'C' || i, '', '', '', '', '', '', '', '', '', '', '', '' FROM n");
            const QList<QStringList> pages =
                execSql(path, "SELECT pageno FROM dbstat WHERE name = 'ficha_ntarjeta' AND pagetype = 'leaf'");
            QFile damaged(path);
            QVERIFY(pages.size() > 2 && damaged.open(QIODevice::ReadWrite));
            QVERIFY(damaged.seek((pages[1][0].toLongLong() - 1) * 4096) && damaged.write(QByteArray(4096, '\x55')));
        }
        start(path);
        QTRY_COMPARE_WITH_TIMEOUT(m_boxes->boxes.size(), notice.isEmpty() ? 0 : 1, 10000);
        for (const DialogDriver::Box& box : m_boxes->boxes)
            QVERIFY2(box.text.contains(notice) && box.text.contains(path), qPrintable(box.text));
        // The birthday list is on screen before anything else is saved, and the lookup indexes are built (below).
        const QAbstractItemModel* list = m_app->view()->findChild<QListView*>("List1")->model();
        QTRY_COMPARE_WITH_TIMEOUT(list->rowCount(), file == "new" ? 0 : 1, 10000);
        if (file != "new")
            QCOMPARE(list->index(0, 0).data().toString(), "Ana\t\t Ruiz Gómez\t 0001\t3");
        QTRY_VERIFY_WITH_TIMEOUT(!m_app->view()->findChild<QWidget*>("listNote"), 10000);
        // A damaged file takes no more saves; a sound one does.
        const StoreResult<bool> saved = m_app->store().appendNew(sampleMember("0099"));
        if (file == "damaged" || file.startsWith("read-only"))
            QVERIFY(!saved && saved.error().cause ==
                                  (file == "damaged" ? StoreError::Cause::Damaged : StoreError::Cause::ReadOnly));
        else
            QVERIFY(saved && *saved);
        QCOMPARE(execSql(path, "SELECT count(*) FROM sqlite_master WHERE type = 'index'"), QList<QStringList>{{"2"}});
    }

    void quittingWithAPromptOpen()
    {
        // The system logs off while "Consulta" asks for a card: the operation ends, and so does the application.
        const QString path = memberFileFromFixture(*m_dir, "members.sql");
        QObject scope;
        bool clicked = false;
        QList<QWidget*> prompts; // each prompt that opened
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, &scope, [&] {
            if (auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                if (!prompts.contains(prompt)) {
                    prompts << prompt;
                    QApplication::quit(); // the first prompt: while it waits for the operator
                }
                return;
            }
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* button = top->findChild<QWidget*>("Command1"); button && top->isVisible() && !clicked) {
                    clicked = true;
                    QTimer::singleShot(0, &scope, [button] { QTest::mouseClick(button, Qt::LeftButton); });
                }
        });
        watcher.start(10);
        const SociosEnd end = runSocios(StoreAddress::file(path), FixedClock(QDate(2026, 3, 10)));
        QVERIFY(end.how == SociosEnd::How::Closed && end.eventLoop == 0);
        QCOMPARE(prompts.size(), 1); // the quit ended it, and no other came
    }
};

QTEST_MAIN(TestStartupNotices)
#include "TestStartupNotices.moc"
