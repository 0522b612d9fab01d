#include "app/Messages.h"
#include "conversions/Characters.h"
#include "store/MemberStore.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestSupport.h"
#include "tools/MemberGenerator.h"
#include "window/Form1.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

using Cause = StoreError::Cause;
Q_DECLARE_METATYPE(StoreError::Cause)

// A test case about SQLite member files alone: skipped in the run on the server, which has its own
// (TestServer).
#define SQLITE_FILES_ONLY()                                                                                            \
    if (testingServer())                                                                                               \
    QSKIP("about SQLite member files")

// The member file: its creation, lookups and writes, and real failures: a read-only file or folder, a full disk,
// another till holding the lock. A refused write leaves the file as it was, and the operator's message names the
// file. The indexed lookups (card numbers, the start-up list) give what a plain scan of every row gives. The cases
// that are not about files run on the server too.
class TestMemberStore : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    std::optional<TestStore> m_store; // holding tests/data/members.sql
    QString m_path;                   // its member file, when it is one
    QList<QStringList> m_undoes;      // commands that undo what a test changed beyond its folder
    std::optional<TestStore> m_generated;
    QList<MemberRecord> m_rows; // of m_generated, in table order

    // Generated members with duplicate card numbers (the copies renamed, so that their order shows), empty marks
    // and odd birth texts.
    static void generate(const TestStore& store)
    {
        GeneratorOptions options;
        options.members = 4000;
        options.oddities = true;
        VERIFY_OK(generateMembers(store.address(), options));
        store.execSql("UPDATE ficha SET nombre = 'Copia de ' || nombre WHERE " + store.rowOrder() + " > 4000");
    }

private slots:
    void initTestCase()
    {
        m_generated.emplace();
        generate(*m_generated);
        m_rows = m_generated->allRows();
    }

    void init()
    {
        m_dir.emplace();
        m_store.emplace().createFromFixture(QStringLiteral("members.sql"));
        m_path = m_store->onServer() ? QString() : m_store->address().path();
    }

    void cleanup()
    {
        for (const QStringList& command : std::exchange(m_undoes, {}))
            QProcess::execute(command.first(), command.mid(1));
    }

    void firstStartCreatesFolderAndFile()
    {
        SQLITE_FILES_ONLY();
        // Only the start-up check creates the file: a lookup or a write finds none, in a new folder or an old one.
        const QString path = m_dir->filePath(QStringLiteral("nueva/carpeta con espacios/dorvel.mdb"));
        for (const QString& missing : {path, m_dir->filePath(QStringLiteral("dorvel.mdb"))}) {
            QCOMPARE(MemberStore(missing).rowsWithCard("0001").error().cause, Cause::CannotOpen);
            QCOMPARE(MemberStore(missing).appendNew(sampleMember("0001")).error().cause, Cause::CannotOpen);
            QVERIFY(!QFile::exists(missing));
        }
        {
            const MemberStore store(path);
            VERIFY_OK(store.openOrCreate());
            QVERIFY(store.startup().created);
            VERIFY_OK(store.append(sampleMember("0001")));
        }
        // A clean end leaves the file alone: no temporary file, no journal, no log.
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{"dorvel.mdb"});
        const MemberStore store(path);
        VERIFY_OK(store.openOrCreate()); // the next start opens it, rows and all
        QVERIFY(!store.startup().created);
        QCOMPARE(allRows(path), QList<MemberRecord>{sampleMember("0001")});
    }

    void noValueIsAFailure()
    {
        m_store->execSql("UPDATE ficha SET email = NULL WHERE ntarjeta = '12'"); // as only another program can
        const MemberStore store(m_store->address());
        const StoreError missing = store.rowsWithCard("12").error();
        QCOMPARE(missing.toString(), "no value in field " + store.path() + ": email");
        QVERIFY2(storeErrorMessage(missing).contains("«email» de la ficha de la tarjeta 12"),
                 qPrintable(storeErrorMessage(missing)));
        QVERIFY(store.rowsWithCard("0012").ok()); // rows not asked for are not read
    }

    void writesChangeTheirRow()
    {
        using Outcome = MemberStore::PointsChange::Outcome;
        const MemberStore store(m_store->address());
        using Rewritten = MemberStore::Rewrite::Outcome;
        QList<MemberRecord> expected = m_store->allRows();
        // Two rows hold 0020: an edit writes the one that was shown (the last), and leaves the other as it is.
        const std::vector<FoundRow> shown = store.rowsWithCard("0020").value();
        QVERIFY(shown.size() == 2 && shown[1].record == expected[4]);
        expected[4] = sampleMember("0020", "Cambiado");
        QCOMPARE(store.rewrite(shown[1], expected[4])->outcome, Rewritten::Written);
        QCOMPARE(store.rewrite({shown[1].key, sampleMember("9999")}, expected[4])->outcome, Rewritten::NoRow);
        // Shown before that change: nothing is written, and the row comes back as it is now.
        const auto stale = store.rewrite(shown[1], shown[1].record).value();
        QVERIFY(stale.outcome == Rewritten::Changed && stale.stored.key == shown[1].key);
        QCOMPARE(stale.stored.record, expected[4]);
        // An edit that leaves the balance as it was is no change of balance: the history below does not show it.
        MemberRecord phoned = expected[4];
        phoned.telefono = "600 000 000";
        QCOMPARE(store.rewrite(stale.stored, phoned)->outcome, Rewritten::Written);
        expected[4] = phoned;

        // A points change sees the balance stored now (not 20, the second row's), and may leave it alone.
        m_store->execSql("UPDATE ficha SET puntos = '12' WHERE " + m_store->rowOrder() + " = 4");
        auto add5 = [](const QString& stored) { return std::optional(stored + '5'); };
        const auto written = store.changePoints("0020", add5);
        QVERIFY(written->outcome == Outcome::Written && written->stored == "125");
        expected[3].puntos = "125";
        QCOMPARE(store.changePoints("0020", [](const QString&) { return std::optional<QString>(); })->outcome,
                 Outcome::Declined);
        QCOMPARE(store.changePoints("9999", add5)->outcome, Outcome::NoRow);

        // Each change of a balance, and only those, in the points history.
        const std::vector<Movement> changes = store.history("0020").value();
        QCOMPARE(changes.size(), 2u);
        QCOMPARE(changes[1].fecha.size(), 19);
        for (const Movement& m : changes)
            QCOMPARE(m.equipo, QSysInfo::machineHostName());
        QCOMPARE((QStringList{changes[0].ntarjeta, changes[0].antes, changes[0].cantidad, changes[0].despues,
                              changes[0].operacion}),
                 (QStringList{"0020", "20", " 130", " 150", "Modificar"}));
        QCOMPARE((QStringList{changes[1].antes, changes[1].cantidad, changes[1].despues, changes[1].operacion}),
                 (QStringList{"12", " 113", "125", "añadir puntos"}));
        QVERIFY(store.history("0001")->empty());

        // An import fills a store only while it holds no member.
        QCOMPARE(store.fillEmpty([](const MemberStore::AddRecord& add) { return add(sampleMember("0099")); }).value(),
                 false);
        // A new row only for a number that no row holds as its exact text.
        QCOMPARE(store.appendNew(sampleMember("0012")).value(), false);
        QCOMPARE(store.appendNew(sampleMember("012")).value(), true);
        QCOMPARE(m_store->allRows(), expected << sampleMember("012"));
    }

    void textsKeptExactly_data()
    {
        // Texts that a statement made by quoting its values into its text, or by numbering the "?" in its text,
        // would change or break on.
        const DataTable<QString> row("text");
        row("a quote", "O'Brien ''");
        row("a backslash", "C:\\socios\\' \\");
        row("a question mark", "¿sí? ? ?");
        row("a numbered placeholder", "$1 $2 :uno");
        row("a line comment", "-- fin'");
        row("a block comment", "/* nota");
        row("several bytes a character", "Ñandú 漢字 😀");
        row("empty", "");
    }

    void textsKeptExactly()
    {
        // Stored as given and read back as stored, in every field, through each operation that takes values.
        QFETCH(QString, text);
        const MemberStore store(m_store->address());
        const QString card = "T" + text;
        const auto filled = [&](const QString& value) {
            MemberRecord record;
            for (Field f : allFields())
                record[f] = f == Field::ntarjeta ? card : value;
            return record;
        };
        QCOMPARE(store.appendNew(filled(text)).value(), true);
        const std::vector<FoundRow> found = store.rowsWithCard(card).value();
        QCOMPARE(found.size(), 1u);
        QCOMPARE(found[0].record, filled(text));
        QVERIFY(store.holdsCard(card).value());
        QVERIFY(!store.holdsCard(card + "x").value());
        QCOMPARE(store.rewrite(found[0], filled(text + "|" + text))->outcome, MemberStore::Rewrite::Outcome::Written);
        QCOMPARE(store.changePoints(card, [&](const QString&) { return std::optional(text); })->stored, text);
        MemberRecord expected = filled(text + "|" + text);
        expected.puntos = text;
        QCOMPARE(m_store->allRows().last(), expected);
        QCOMPARE(store.rowsWithCard(card)->front().record, expected);
        const std::vector<Movement> movements = store.history(card).value();
        QCOMPARE(movements.size(), 2u);
        QCOMPARE((QStringList{movements[0].ntarjeta, movements[0].antes, movements[0].despues, movements[1].antes,
                              movements[1].despues}),
                 (QStringList{card, text, text + "|" + text, text + "|" + text, text}));
    }

    void historyInTheSameTransaction()
    {
        // A history that refuses the record: the balance is not changed either.
        m_store->execSql(
            "DROP TABLE IF EXISTS movimientos;\nCREATE TABLE movimientos (fecha TEXT, ntarjeta TEXT, antes "
            "TEXT, cantidad TEXT, despues TEXT, operacion TEXT, equipo TEXT CHECK (equipo = 'ninguno'))");
        const MemberStore store(m_store->address());
        const QList<MemberRecord> stored = m_store->allRows();
        QVERIFY(!store.changePoints("0001", [](const QString&) { return std::optional<QString>(" 1"); }).ok());
        MemberRecord changed = stored[0];
        changed.puntos = " 1";
        QVERIFY(!store.rewrite(store.rowsWithCard("0001")->front(), changed).ok());
        QCOMPARE(m_store->allRows(), stored);
        QCOMPARE(m_store->execSql("SELECT count(*) FROM movimientos"), QList<QStringList>{{"0"}});
    }

    void writesRefused_data()
    {
        const DataTable<QString, Cause, QString> row("failure", "cause", "advice");
        row("read-only file", "file", Cause::ReadOnly, "solo lectura");
        row("read-only folder", "folder", Cause::ReadOnly, "solo lectura");
        row("full disk", "disk", Cause::DiskFull, "disco está lleno");
    }

    void writesRefused()
    {
        // Start-up and lookups work; every write the operations make is refused for `cause`, with a message that
        // names the file and says `advice`, and leaves the file as it was. Once the failure is gone, writes work.
        SQLITE_FILES_ONLY();
        QFETCH(QString, failure);
        QFETCH(Cause, cause);
        QFETCH(QString, advice);
        QString path = m_path;
        const QString mount = m_dir->filePath(QStringLiteral("disco")), filler = mount + QStringLiteral("/relleno");
        if (failure == "disk") {
            // A small file system of its own, filled up: the engine meets a real "no space left".
            QDir().mkpath(mount);
            if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=512k", "tmpfs", mount}) != 0)
                QSKIP("needs to mount a small file system (root on a POSIX system)");
            m_undoes << QStringList{"umount", mount};
            path = mount + QStringLiteral("/dorvel.mdb");
            QVERIFY(QFile::copy(m_path, path));
            QFile file(filler);
            QVERIFY(file.open(QIODevice::WriteOnly));
            while (file.write(QByteArray(4096, 'x')) == 4096 && file.flush()) {
            }
        } else if (!makeReadOnly(failure == "folder" ? QFileInfo(m_path).absolutePath() : m_path, m_undoes)) {
            QSKIP("this system cannot make the file or folder read-only");
        }

        const MemberStore store(path);
        VERIFY_OK(store.openOrCreate());
        QCOMPARE(store.rowsWithCard("0001")->size(), 1u);
        const FoundRow shown = store.rowsWithCard("0001")->front();
        const QByteArray before = fileBytes(path);
        for (const StoreError& error :
             {store.appendNew(sampleMember("0099")).error(), store.rewrite(shown, sampleMember("0001")).error(),
              store.changePoints("0001", [](const QString& stored) { return stored + '5'; }).error()}) {
            QCOMPARE(error.kind, StoreError::Kind::Write);
            QCOMPARE(error.cause, cause);
            const QString message = storeErrorMessage(error);
            QVERIFY2(message.contains(path) && message.contains(advice), qPrintable(message));
        }
        QCOMPARE(fileBytes(path), before);

        if (failure == "disk")
            QVERIFY(QFile::remove(filler));
        else
            cleanup(); // writable again
        QCOMPARE(MemberStore(path).appendNew(sampleMember("0099")).value(), true);
    }

    void anotherTillHoldsTheLock()
    {
        SQLITE_FILES_ONLY();
        // Another till in the middle of saving member 0099. Lookups go on; a save waits a few seconds, then gives up
        // with a message, and works once that till is gone (its row was never saved).
        const MemberStore store(m_path);
        QProcess holder;
        const QString insert = "INSERT INTO ficha VALUES ('%1'" + QString(", ''").repeated(12) + ")";
        QVERIFY(startHelper(holder, {"sql", m_path, "60000", "BEGIN IMMEDIATE", insert.arg("0099")}, "ready"));
        QCOMPARE(store.rowsWithCard("0001")->size(), 1u);
        const StoreError error = store.appendNew(sampleMember("0098")).error();
        QCOMPARE(error.cause, Cause::Locked);
        QVERIFY2(storeErrorMessage(error).contains("inténtelo de nuevo"), qPrintable(storeErrorMessage(error)));
        holder.kill();
        holder.waitForFinished();
        QCOMPARE(store.appendNew(sampleMember("0099")).value(), true);

        // Another till saves 0098 while this one waits to save it too: the number is checked once the lock is ours.
        QVERIFY(startHelper(holder, {"sql", m_path, "1000", "BEGIN IMMEDIATE", insert.arg("0098")}, "ready"));
        QCOMPARE(store.appendNew(sampleMember("0098")).value(), false);
        QVERIFY(holder.waitForFinished() && holder.exitCode() == 0);
        QCOMPARE(store.rowsWithCard("0098")->size(), 1u);
    }

    void listEveryDay_data()
    {
        const DataTable<int> row("year");
        row("common year", 2026);
        row("leap year", 2028);
    }

    void listEveryDay()
    {
        // The list that a plain scan of every row gives.
        QFETCH(int, year);
        static const QRegularExpression twoDigits(QStringLiteral("^[0-9][0-9]$"));
        auto column = [](const QString& text) {
            const QString cut = leftChars(text, 17);
            return cut + (charCount(cut) > 7 ? "\t " : "\t\t ");
        };
        const MemberStore store(m_generated->address());
        for (QDate today(year, 1, 1); today.year() == year; today = today.addDays(1)) {
            QStringList expected;
            for (const MemberRecord& row : m_rows) {
                const QString day = midChars(row.fnacimiento, 1, 2), month = midChars(row.fnacimiento, 4, 2);
                const qint64 days = twoDigits.match(day).hasMatch() && twoDigits.match(month).hasMatch()
                                        ? today.daysTo(QDate(year, month.toInt(), day.toInt()))
                                        : 0; // an invalid date gives 0 too
                if (days >= 1 && days <= 9)
                    expected << column(row.nombre) + column(row.apellidos) + leftChars(row.ntarjeta, 4) + '\t' +
                                    QString::number(days);
            }
            Form1 form;
            const StoreResult<void> loaded = form.load(store, FixedClock(today));
            QVERIFY2(loaded.ok(), !loaded ? qPrintable(loaded.error().toString()) : "");
            QVERIFY2(form.birthdayList.items() == expected, qPrintable(today.toString(Qt::ISODate)));
        }
    }

    void cardLookups()
    {
        // Every third card (some held by several rows), and cards that no row holds as their exact text.
        const MemberStore store(m_generated->address());
        QStringList cards = {"0", "", "0" + m_rows[0].ntarjeta, m_rows[0].ntarjeta + ' ', "1' OR '1'='1"};
        for (int i = 0; i < m_rows.size(); i += 3)
            cards << m_rows[i].ntarjeta;
        int duplicates = 0;
        for (const QString& card : cards) {
            QList<MemberRecord> expected;
            std::copy_if(m_rows.begin(), m_rows.end(), std::back_inserter(expected),
                         [&](const MemberRecord& row) { return row.ntarjeta == card; });
            const StoreResult<std::vector<FoundRow>> rows = store.rowsWithCard(card);
            QList<MemberRecord> found;
            for (const FoundRow& row : rows.value())
                found << row.record;
            QCOMPARE(found, expected);
            QCOMPARE(store.holdsCard(card).value(), !expected.isEmpty());
            duplicates += expected.size() > 1;
        }
        QVERIFY(duplicates > 10);
    }

    void startAddsMissingIndexesOnce()
    {
        // A file made by another program, or by an earlier version, has no indexes until the next start adds them,
        // the same as a first start makes, and leaves the rows as they were.
        TestStore copy;
        generate(copy);
        const auto indexes = [](const TestStore& store) {
            return store.onServer() ? store.execSql("SELECT indexname, regexp_replace(indexdef, ' ON \\S+', ' ON') "
                                                    "FROM pg_indexes WHERE schemaname = current_schema() AND "
                                                    "tablename = 'ficha' ORDER BY indexname")
                                    : store.execSql("SELECT sql FROM sqlite_master WHERE type = 'index' ORDER BY name");
        };
        const QList<QStringList> made = indexes(copy);
        copy.execSql("DROP INDEX ficha_ntarjeta;\nDROP INDEX ficha_cumple");
        const MemberStore unindexed(copy.address());
        VERIFY_OK(unindexed.openOrCreate());
        QCOMPARE(indexes(copy), made);
        QCOMPARE(copy.allRows(), m_rows);
        // Added once, then left alone.
        const auto state = [&] {
            return copy.onServer()
                       ? copy.execSql("SELECT indexrelid::int FROM pg_index WHERE indrelid = "
                                      "'ficha'::regclass ORDER BY 1")
                       : QList<QStringList>{{QString::fromLatin1(
                             QCryptographicHash::hash(fileBytes(copy.address().path()), QCryptographicHash::Sha1)
                                 .toHex())}};
        };
        const QList<QStringList> indexedOnce = state();
        VERIFY_OK(unindexed.openOrCreate());
        QCOMPARE(state(), indexedOnce);
    }
};

QTEST_GUILESS_MAIN(TestMemberStore)
#include "TestMemberStore.moc"
