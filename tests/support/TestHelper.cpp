// socios-test-helper: the other process of the multi-process tests.
//   lock PATH MILLISECONDS CARD  another till in the middle of saving member CARD: holds the write lock with the
//                                row added, says "locked", and commits after that long
//   write STORE                  step i adds member W<i> and sets the balance of W0 to i, saying "ack i" after it
//   interrupt PATH               a program in the middle of a large change with the rollback journal, after some of
//                                its pages went to the file: says "interrupted" and waits to be killed
//   read PATH MILLISECONDS       a program reading the file inside one transaction: says "reading" and ends the
//                                transaction after that long
//   till STORE                   a till without a screen, driven by lines on standard input: "click CONTROL
//                                [ANSWER...]" (the answers to its card number prompts, then "*") and "set CONTROL
//                                TEXT". After each it says "WINDOW | BOXES" as OperationFixture writes them, then
//                                " | " and each message shown, if any.

#include "tests/support/OperationFixture.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTextStream>
#include <QThread>

#include <cstdio>

namespace {

QTextStream out(stdout);
QTextStream in(stdin);

int holdLock(const QString& path, int milliseconds, const QString& card)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    QSqlQuery query(db);
    const QString values = QStringList(kFieldCount, QLatin1Char('\'') + card + QLatin1Char('\'')).join(',');
    if (!db.open() || !query.exec(QStringLiteral("BEGIN IMMEDIATE")) ||
        !query.exec(QStringLiteral("INSERT INTO ficha VALUES (%1)").arg(values)))
        return 1;
    out << "locked" << Qt::endl;
    QThread::msleep(milliseconds);
    return query.exec(QStringLiteral("COMMIT")) ? 0 : 1;
}

int interruptChange(const QString& path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    QSqlQuery query(db);
    // A cache of a few pages: the change spills into the file long before its commit.
    if (!db.open())
        return 1;
    for (const char* statement : {"PRAGMA journal_mode=DELETE", "PRAGMA cache_size=10", "BEGIN IMMEDIATE",
                                  "PRAGMA user_version=7", "UPDATE ficha SET observaciones = hex(randomblob(3000))"})
        if (!query.exec(QLatin1String(statement)))
            return 1;
    if (QFileInfo(path + QStringLiteral("-journal")).size() < 4096)
        return 1;
    out << "interrupted" << Qt::endl;
    QThread::sleep(600);
    return 1;
}

int readInTransaction(const QString& path, int milliseconds)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    QSqlQuery query(db);
    if (!db.open() || !query.exec(QStringLiteral("BEGIN")) ||
        !query.exec(QStringLiteral("SELECT count(*) FROM ficha")) || !query.next())
        return 1;
    out << "reading" << Qt::endl;
    QThread::msleep(milliseconds);
    query.finish();
    return query.exec(QStringLiteral("COMMIT")) ? 0 : 1;
}

// The store that socios --database would name: a member file's path, or a server's address.
StoreAddress storeAt(const QString& text)
{
    const std::optional<StoreAddress> address = StoreAddress::parse(text);
    if (!address)
        qFatal("not a store: %s", qUtf8Printable(text));
    return *address;
}

int writeForever(const QString& path)
{
    const MemberStore store(storeAt(path));
    for (int i = 0;; ++i) {
        const auto added = store.appendNew(sampleMember(QStringLiteral("W%1").arg(i)));
        const auto changed = store.changePoints("W0", [i](const QString&) { return QString::number(i); });
        if (!added.ok() || !*added || !changed.ok() || changed->outcome != MemberStore::PointsChange::Outcome::Written)
            return 1;
        out << "ack " << i << Qt::endl;
    }
}

int runTill(const QString& path)
{
    const MemberStore store(storeAt(path));
    Form1 form;
    if (form.Form_Load(store, SystemClock()))
        return 1;
    FakePrompt prompt;
    FakeMessages messages;
    CardOperations operations(form, store, prompt, messages);
    operations.connectHandlers();
    while (!in.atEnd()) {
        const QStringList words = in.readLine().split(' ');
        Control* control = form.find(words.value(1));
        prompt.setAnswers(words.mid(2) << "*");
        if (control && words[0] == "click")
            control->click();
        else if (control && words[0] == "set")
            control->setText(words.mid(2).join(' '));
        else
            messages.notices << "unknown " + words.join(' ');
        QStringList shown = {OperationFixture::window(form, false), OperationFixture::boxes(form).join(' ')};
        for (const StoreError& failure : std::exchange(messages.failures, {}))
            shown << failure.toString();
        out << (shown << std::exchange(messages.notices, {})).join(" | ") << Qt::endl;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args[1] == QLatin1String("lock"))
        return holdLock(args[2], args[3].toInt(), args[4]);
    if (args.size() == 3 && args[1] == QLatin1String("interrupt"))
        return interruptChange(args[2]);
    if (args.size() == 4 && args[1] == QLatin1String("read"))
        return readInTransaction(args[2], args[3].toInt());
    if (args.size() == 3 && args[1] == QLatin1String("write"))
        return writeForever(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("till"))
        return runTill(args[2]);
    std::fputs(
        "usage: socios-test-helper lock PATH MILLISECONDS CARD | interrupt PATH | read PATH MILLISECONDS | write STORE "
        "| till STORE\n",
        stderr);
    return 2;
}
