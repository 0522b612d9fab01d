// socios-test-helper: the other process of the multi-process tests.
//   lock PATH MILLISECONDS CARD  another till in the middle of saving member CARD: holds the write lock with the
//                                row added, says "locked", and commits after that long
//   write PATH                   adds members and changes a balance in a loop, saying "ack N" after each commit
//   till PATH                    a till without a screen, driven by lines on standard input: "click CONTROL" and
//                                "set CONTROL TEXT". It says "prompt" when it asks for a card number (the next
//                                line answers), "message TEXT" for each message, and "done WINDOW | BOXES" after
//                                each command, the window as OperationFixture writes it.

#include "tests/support/OperationFixture.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTextStream>
#include <QThread>

#include <cstdio>

namespace {

QTextStream out(stdout);
QTextStream in(stdin);

void say(const QString& line)
{
    out << line << Qt::endl;
}

int holdLock(const QString& path, int milliseconds, const QString& card)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    QSqlQuery query(db);
    const QString values = QStringList(kFieldCount, QLatin1Char('\'') + card + QLatin1Char('\'')).join(',');
    if (!db.open() || !query.exec(QStringLiteral("BEGIN IMMEDIATE")) ||
        !query.exec(QStringLiteral("INSERT INTO ficha VALUES (%1)").arg(values)))
        return 1;
    say(QStringLiteral("locked"));
    QThread::msleep(milliseconds);
    return query.exec(QStringLiteral("COMMIT")) ? 0 : 1;
}

int writeForever(const QString& path)
{
    const MemberStore store(path);
    for (int i = 0;; ++i) {
        // Even steps add member W<i>; odd steps set the balance of W0 to i.
        bool ok;
        if (i % 2 == 0) {
            const auto added = store.appendNew(sampleMember(QStringLiteral("W%1").arg(i)));
            ok = added.ok() && *added;
        } else {
            const auto changed =
                store.changePoints(QStringLiteral("W0"), [i](const QString&) { return QString::number(i); });
            ok = changed.ok() && changed->outcome == MemberStore::PointsChange::Outcome::Written;
        }
        if (!ok)
            return 1;
        say(QStringLiteral("ack %1").arg(i));
    }
}

int runTill(const QString& path)
{
    const MemberStore store(path);
    Form1 form;
    if (form.Form_Load(store, SystemClock()))
        return 1;
    FakePrompt prompt;
    prompt.setBeforeEachAnswer([&](int) {
        say(QStringLiteral("prompt"));
        prompt.setAnswers({in.readLine()});
    });
    FakeMessages messages;
    CardOperations operations(form, store, prompt, messages);
    operations.connectHandlers();
    while (!in.atEnd()) {
        const QString line = in.readLine();
        Control* control = form.find(line.section(QLatin1Char(' '), 1, 1));
        if (control && line.startsWith(QLatin1String("click ")))
            control->click();
        else if (control && line.startsWith(QLatin1String("set ")))
            control->setText(line.section(QLatin1Char(' '), 2));
        else
            messages.notices << QStringLiteral("unknown ") + line;
        for (const StoreError& failure : std::exchange(messages.failures, {}))
            messages.notices << failure.toString();
        for (const QString& message : std::exchange(messages.notices, {}))
            say(QStringLiteral("message ") + message);
        say(QStringLiteral("done %1 | %2")
                .arg(OperationFixture::window(form, false), OperationFixture::boxes(form).join(QLatin1Char(' '))));
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
    if (args.size() == 3 && args[1] == QLatin1String("write"))
        return writeForever(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("till"))
        return runTill(args[2]);
    std::fputs("usage: socios-test-helper lock PATH MILLISECONDS CARD | write PATH | till PATH\n", stderr);
    return 2;
}
