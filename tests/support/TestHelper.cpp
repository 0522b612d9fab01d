// socios-test-helper: the other process of the multi-process tests.
//   sql PATH MILLISECONDS STATEMENT...
//                                another program on the file: runs the statements, says "ready", and commits after
//                                that long
//   hold STORE MILLISECONDS CARD another till in the middle of adding a point to CARD: says "holding" once its
//                                transaction has locked the member, and commits after that long
//   till STORE                   a till without a screen, driven by lines on standard input: "click CONTROL
//                                [ANSWER...]" (the answers to its card number prompts, then "*") and "set CONTROL
//                                TEXT", CONTROL a design name (Text25) or a role (nameBox). After each it says
//                                "WINDOW | BOXES" as OperationFixture writes them, then " | " and each message shown,
//                                if any. A till that cannot start says "failed" and why.
//   race STORE NUMBER COUNT      till NUMBER of several at work at once: COUNT operations at random (see race())
//   home HEX PROGRAM ARGUMENT... runs PROGRAM with HOME set to the bytes written in hexadecimal, or unset for "-"

#include "tests/support/OperationFixture.h"

#include "conversions/Conversions.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <unistd.h>

namespace {

QTextStream out(stdout);
QTextStream in(stdin);

// Another program at work on the file: runs each statement, says "ready", and after that long commits what it
// began (when it began anything).
int runSql(const QString& path, int milliseconds, const QStringList& statements)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    QSqlQuery query(db);
    if (!db.open())
        return 1;
    for (const QString& statement : statements)
        if (!query.exec(statement))
            return 1;
    out << "ready" << Qt::endl;
    QThread::msleep(milliseconds);
    query.finish();
    return query.exec(QStringLiteral("COMMIT")) || statements.filter(QStringLiteral("BEGIN")).isEmpty() ? 0 : 1;
}

// The store that socios --database would name: a member file's path, or a server's address.
StoreAddress storeAt(const QString& text)
{
    const std::optional<StoreAddress> address = StoreAddress::parse(text);
    if (!address)
        qFatal("not a store: %s", qUtf8Printable(text));
    return *address;
}

int holdCard(const QString& path, int milliseconds, const QString& card)
{
    const MemberStore store(storeAt(path));
    const auto added = store.changePoints(card, [&](const QString& stored) {
        out << "holding" << Qt::endl;
        QThread::msleep(milliseconds);
        return std::optional<QString>(Str(Val(stored) + 1));
    });
    return added && added->outcome == MemberStore::PointsChange::Outcome::Written ? 0 : 1;
}

// The window model and the operations on a store, with a prompt and a message sink that the commands drive.
class HeadlessTill
{
public:
    explicit HeadlessTill(const QString& path) : m_store(storeAt(path)), m_operations(form, m_store, prompt, messages)
    {
        m_operations.connectHandlers();
    }

    StoreResult<void> load() { return form.load(m_store, SystemClock()); }

    // "click CONTROL [ANSWER...]" (the answers to its card number prompts, then "*") or "set CONTROL TEXT". Returns
    // "WINDOW | BOXES", then each message shown; the store failures stay in `failures` until the next command.
    QString act(const QString& line)
    {
        const QStringList words = line.split(' ');
        Control* control = form.find(words.value(1));
        prompt.setAnswers(words.mid(2) << "*");
        failures.clear();
        if (control && words[0] == "click")
            control->click();
        else if (control && words[0] == "set")
            control->setText(words.mid(2).join(' '));
        else
            messages.notices << "unknown " + words.join(' ');
        QStringList shown = {OperationFixture::window(form), OperationFixture::boxes(form).join(' ')};
        failures = std::exchange(messages.failures, {});
        for (const StoreError& failure : failures)
            shown << failure.toString();
        return (shown << std::exchange(messages.notices, {})).join(" | ");
    }

    Form1 form;
    FakePrompt prompt;
    FakeMessages messages;
    QList<StoreError> failures;

private:
    const MemberStore m_store;
    CardOperations m_operations;
};

int runTill(const QString& path)
{
    HeadlessTill till(path);
    if (const StoreResult<void> done = till.load(); !done) {
        out << "failed " << done.error().toString() << Qt::endl;
        return 1;
    }
    while (!in.atEnd())
        out << till.act(in.readLine()) << Qt::endl;
    return 0;
}

// One of several tills at work at once on the shared members 0001, 0007, 0012 and 12 of tests/data/members.sql and
// on new numbers N0 to N59: `count` operations chosen at random (seeded with `number`), said one line each:
//   points CARD AMOUNT     the amount was added (amounts are number * 1000 + the operation's, so that each is told
//                          apart)
//   new CARD | taken CARD  registered, or refused because another till has it
//   edited CARD | changed CARD | looked CARD
//   failed WHAT CARD [AMOUNT] cause=CAUSE   a store failure (StoreError::Cause as a number); the till waits 50 ms
// then "done". While the store cannot be reached at start-up, it tries again every 50 ms.
int race(const QString& path, int number, int count)
{
    HeadlessTill till(path);
    while (!till.load().ok())
        QThread::msleep(50);
    QRandomGenerator random(quint32(number) + 1);
    const QStringList shared = {"0001", "0007", "0012", "12"};
    const auto failed = [&](const QString& what) {
        if (till.failures.isEmpty())
            return false;
        out << "failed " << what << " cause=" << int(till.failures.first().cause) << Qt::endl;
        QThread::msleep(50);
        return true;
    };
    for (int i = 0; i < count; ++i) {
        const int kind = int(random.bounded(10));
        const QString card = shared[int(random.bounded(shared.size()))];
        if (kind < 5) {
            const QString amount = QString::number(number * 1000 + i + 1);
            till.act("click addPointsButton " + card);
            if (!failed("points " + card) && till.form.amountBox.isVisible()) {
                till.act("set amountBox " + amount);
                till.act("click addAmountButton");
                if (!failed("points " + card + ' ' + amount))
                    out << "points " << card << ' ' << amount << Qt::endl;
            }
        } else if (kind < 7) {
            const QString newCard = QStringLiteral("N%1").arg(random.bounded(60));
            till.act("click newMemberButton " + newCard);
            if (!failed("new " + newCard)) {
                if (till.form.saveNewMemberButton.isVisible()) {
                    till.act("set nameBox Caja" + QString::number(number));
                    till.act("click saveNewMemberButton");
                    if (!failed("new " + newCard))
                        out << (till.form.chooseOperationNote.isVisible() ? "new " : "taken ") << newCard << Qt::endl;
                } else {
                    out << "taken " << newCard << Qt::endl;
                }
            }
        } else if (kind < 9) {
            till.act("click editMemberButton " + card);
            if (!failed("edit " + card) && till.form.saveEditedMemberButton.isEnabled()) {
                till.act(QStringLiteral("set phoneBox 6%1").arg(number * 1000 + i, 8, 10, QLatin1Char('0')));
                till.act("click saveEditedMemberButton");
                if (!failed("edit " + card))
                    out << (till.form.chooseOperationNote.isVisible() ? "edited " : "changed ") << card << Qt::endl;
            }
        } else {
            till.act("click queryButton " + card);
            if (!failed("query " + card))
                out << "looked " << card << Qt::endl;
        }
        // Back to "elegir proceso" whatever happened: the way out of the operation left open.
        for (Control* leave :
             {&till.form.leavePointsButton, &till.form.leaveNewMemberButton, &till.form.leaveEditButton})
            if (leave->isVisible() && leave->isEnabled())
                till.act("click " + leave->role());
    }
    out << "done" << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // Before anything reads the environment.
    if (argc >= 4 && std::string_view(argv[1]) == "home") {
        if (std::string_view(argv[2]) == "-")
            ::unsetenv("HOME");
        else
            ::setenv("HOME", QByteArray::fromHex(argv[2]).constData(), 1);
        ::execv(argv[3], argv + 3);
        return 2;
    }
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("sql"))
        return runSql(args[2], args[3].toInt(), args.mid(4));
    if (args.size() == 5 && args[1] == QLatin1String("hold"))
        return holdCard(args[2], args[3].toInt(), args[4]);
    if (args.size() == 3 && args[1] == QLatin1String("till"))
        return runTill(args[2]);
    if (args.size() == 5 && args[1] == QLatin1String("race"))
        return race(args[2], args[3].toInt(), args[4].toInt());
    std::fputs("usage: socios-test-helper sql PATH MILLISECONDS STATEMENT... | hold STORE MILLISECONDS "
               "CARD | till STORE | race STORE NUMBER COUNT | home HEX PROGRAM ARGUMENT...\n",
               stderr);
    return 2;
}
