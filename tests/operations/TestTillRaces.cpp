#include "conversions/Conversions.h"
#include "tests/support/OperationFixture.h"
#include "tests/support/TestStore.h"

#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTest>

// Eight tills on one server, each making 500 operations at random on the same four members and on new numbers
// that they all want, while the server is stopped and started again under them (socios-test-helper race).
class TestTillRaces : public QObject
{
    Q_OBJECT

private slots:
    void eightTillsAndARestart()
    {
        constexpr int kTills = 8, kOperations = 500;
        PrivateServer server;
        TestStore store(server.uri());
        store.createFromFixture(QStringLiteral("members.sql"));
        QHash<QString, QString> initial; // balance by card
        for (const MemberRecord& row : store.allRows())
            initial.insert(row.ntarjeta, row.puntos);

        QProcess tills[kTills];
        QList<QStringList> said(kTills);
        for (int i = 0; i < kTills; ++i) {
            tills[i].setProcessChannelMode(QProcess::ForwardedErrorChannel);
            tills[i].start(qEnvironmentVariable("SOCIOS_TEST_HELPER"),
                           {"race", store.uri(), QString::number(i), QString::number(kOperations)});
        }
        int heard = 0; // lines from all tills
        const auto listen = [&] {
            for (int i = 0; i < kTills; ++i)
                for (; tills[i].canReadLine(); ++heard)
                    said[i] << QString::fromUtf8(tills[i].readLine()).trimmed();
        };

        // A quarter of the way through, the server stops (pg_ctl stop -m fast: open transactions are undone,
        // connections closed) and starts again.
        for (int waits = 0; heard < kTills * kOperations / 4 && waits < 3000; ++waits) {
            QTest::qWait(20);
            listen();
        }
        QVERIFY(server.stop());
        QTest::qWait(300);
        QVERIFY(server.start());
        listen();
        const QList<QStringList> beforeRestart = said;
        // A till may have ended already, while the server restarted: waitForFinished() is false for it.
        for (QProcess& till : tills) {
            QVERIFY(till.state() == QProcess::NotRunning || till.waitForFinished(120000));
            QVERIFY(till.exitStatus() == QProcess::NormalExit && till.exitCode() == 0);
        }
        listen();

        // What the tills were told: acknowledged additions, registrations, and failures with their cause.
        QHash<QString, QSet<int>> added, uncertain; // amounts by card
        QSet<QString> registered;
        int failures = 0;
        const QString unreachable = QStringLiteral("cause=%1").arg(int(StoreError::Cause::ServerUnreachable));
        const QString unknown = QStringLiteral("cause=%1").arg(int(StoreError::Cause::CommitUnknown));
        for (int i = 0; i < kTills; ++i) {
            QCOMPARE(said[i].value(said[i].size() - 1), "done");
            bool recovered = false;
            for (qsizetype n = 0; n < said[i].size(); ++n) {
                const QStringList words = said[i][n].split(' ');
                if (words[0] == "failed") {
                    // Only the server's absence: never a lock held too long, a conflict, a lost write.
                    QVERIFY2(words.last() == unreachable || words.last() == unknown, qPrintable(said[i][n]));
                    ++failures;
                    if (words[1] == "points" && words.size() == 5 && words.last() == unknown)
                        uncertain[words[2]] << words[3].toInt();
                    continue;
                }
                recovered = recovered || (n >= beforeRestart[i].size() && words[0] != "done");
                if (words[0] == "points")
                    added[words[1]] << words[2].toInt();
                if (words[0] == "new")
                    registered << words[1];
            }
            QVERIFY2(recovered, qPrintable(QStringLiteral("till %1 did nothing after the restart").arg(i)));
        }
        QVERIFY2(failures > 0, "no till noticed that the server was stopped");
        qInfo("%lld registrations acknowledged, %d failures while the server was away", qint64(registered.size()),
              failures);

        // No card number twice, but the one the fixture holds twice; every registration acknowledged is there.
        QCOMPARE(store.execSql("SELECT ntarjeta FROM ficha GROUP BY ntarjeta HAVING count(*) > 1"),
                 QList<QStringList>{{"0020"}});
        QSet<QString> stored;
        for (const MemberRecord& row : store.allRows())
            stored << row.ntarjeta;
        QVERIFY(stored.contains(registered));

        // Each member's points history is one chain from the balance at the start to the balance now: every change
        // started from the one before it, so none was lost, and no edit wrote an old balance back. Every addition
        // acknowledged is in it; any other is one whose answer the server's stop cut off.
        for (const QString card : {"0001", "0007", "0012", "12"}) {
            QString balance = initial.value(card);
            QSet<int> amounts;
            for (const QStringList& movement :
                 store.execSql("SELECT antes, cantidad, despues, operacion FROM movimientos WHERE ntarjeta = '" + card +
                               "' ORDER BY id")) {
                QCOMPARE(movement[0], balance);
                QCOMPARE(movement[3], "añadir puntos");
                amounts << int(Val(movement[1]));
                balance = movement[2];
            }
            QCOMPARE(store.execSql("SELECT puntos FROM ficha WHERE ntarjeta = '" + card + "'"),
                     QList<QStringList>{{balance}});
            QVERIFY2(amounts.contains(added.value(card)), qPrintable(card));
            QVERIFY2((amounts - added.value(card)).subtract(uncertain.value(card)).isEmpty(), qPrintable(card));
        }
    }
};

QTEST_GUILESS_MAIN(TestTillRaces)
#include "TestTillRaces.moc"
