// socios-test-helper: the other process of the multi-process tests.
//   lock PATH MILLISECONDS  holds an exclusive lock on the member file, says "locked", and keeps it that long
//   write PATH              adds members and changes a balance in a loop, saying "ack N" after each commit
//   till PATH               a till without a screen: the window model, the operations and the member file,
//                           driven by lines on standard input (see Till in TestTills.cpp)

#include "operations/CardOperations.h"
#include "operations/CardPrompt.h"
#include "operations/MessageSink.h"
#include "store/MemberStore.h"
#include "window/Clock.h"
#include "window/Form1.h"
#include "window/Messages.h"

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
    out << line << '\n';
    out.flush();
}

int holdLock(const QString& path, int milliseconds)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    QSqlQuery query(db);
    if (!db.open() || !query.exec(QStringLiteral("BEGIN EXCLUSIVE")) ||
        !query.exec(QStringLiteral("SELECT count(*) FROM ficha")))
        return 1;
    say(QStringLiteral("locked"));
    QThread::msleep(milliseconds);
    return 0;
}

int writeForever(const QString& path)
{
    const MemberStore store(path);
    for (int i = 0;; ++i) {
        bool ok;
        if (i % 2 == 0) {
            MemberRecord member;
            for (Field f : allFields())
                member[f] = QStringLiteral("socio %1").arg(i);
            member.ntarjeta = QStringLiteral("W%1").arg(i);
            ok = store.appendNew(member).value();
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

class StdinPrompt : public CardPrompt
{
public:
    QString inputBox(const QString&, const QString&, int, int) override
    {
        say(QStringLiteral("prompt"));
        return in.readLine();
    }
};

class StdoutMessages : public MessageSink
{
public:
    void storeFailure(const StoreError& error) override { say(QStringLiteral("message ") + error.toString()); }
    void notice(const QString& text) override { say(QStringLiteral("message ") + text); }
};

int runTill(const QString& path)
{
    const MemberStore store(path);
    Form1 form;
    const SystemClock clock;
    if (form.Form_Load(store, clock))
        return 1;
    StdinPrompt prompt;
    StdoutMessages messages;
    CardOperations operations(form, store, prompt, messages);
    operations.connectHandlers();
    say(QStringLiteral("ready"));
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const QString command = line.section(QLatin1Char(' '), 0, 0);
        Control* control = form.find(line.section(QLatin1Char(' '), 1, 1));
        if (command == QLatin1String("click") && control) {
            control->click();
        } else if (command == QLatin1String("set") && control) {
            control->setText(line.section(QLatin1Char(' '), 2));
        } else if (command == QLatin1String("show") && control) {
            say(QStringLiteral("%1 %2").arg(control->isVisible() ? "visible" : "hidden", control->text()));
        } else {
            say(QStringLiteral("unknown ") + line);
        }
        say(QStringLiteral("done"));
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args[1] == QLatin1String("lock"))
        return holdLock(args[2], args[3].toInt());
    if (args.size() == 3 && args[1] == QLatin1String("write"))
        return writeForever(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("till"))
        return runTill(args[2]);
    std::fputs("usage: socios-test-helper lock PATH MILLISECONDS | write PATH | till PATH\n", stderr);
    return 2;
}
