#pragma once

#include "operations/CardPrompt.h"
#include "operations/MessageSink.h"
#include "store/MemberRecord.h"
#include "window/Clock.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTest>

#include <functional>
#include <optional>

class QProcess;
class QTemporaryDir;

Q_DECLARE_METATYPE(MemberRecord)

// The columns of a _data() table, typed and named once; each row is then one call, its values converted to the
// types of their columns:
//     const DataTable<QString, double> row("text", "number");
//     row("empty", "", 0);
template <typename... Columns> class DataTable
{
public:
    template <typename... Names> explicit DataTable(Names... names)
    {
        static_assert(sizeof...(Names) == sizeof...(Columns));
        (QTest::addColumn<Columns>(names), ...);
    }
    void operator()(const char* name, const Columns&... values) const { (QTest::newRow(name) << ... << values); }
};

// Lets QCOMPARE print a row that differs.
char* toString(const MemberRecord& record);

// Fails the test, with the error's own words, unless `result` (a Result of the store, an import...) succeeded.
#define VERIFY_OK(result)                                                                                              \
    do {                                                                                                               \
        const auto& verified_ = (result);                                                                              \
        QVERIFY2(verified_.ok(), verified_.ok() ? "" : qPrintable(verified_.error().toString()));                      \
    } while (false)

// A prompt that hands out queued answers, each once. Running out of answers fails the test and answers "*",
// which ends every card entry, so a test never hangs.
class FakePrompt : public CardPrompt
{
public:
    void setAnswers(QStringList answers) { m_answers = std::move(answers); }
    // Runs before each answer is handed out, with the number of earlier answers: the window then shows what
    // the previous pass left.
    void setBeforeEachAnswer(std::function<void(int)> inspect) { m_inspect = std::move(inspect); }

    QString inputBox(const QString& prompt, const QString& title, int leftTwips, int topTwips) override;

    QString lastPrompt, lastTitle;
    QPoint lastPosition;

private:
    QStringList m_answers;
    std::function<void(int)> m_inspect;
    int m_asked = 0;
};

// Records the messages instead of showing them. `onMessage` runs as each is shown: the window behind it.
class FakeMessages : public MessageSink
{
public:
    void storeFailure(const StoreError& error) override
    {
        failures.append(error);
        if (onMessage)
            onMessage();
    }
    void notice(const QString& text) override
    {
        notices.append(text);
        if (onMessage)
            onMessage();
    }

    QList<StoreError> failures;
    QStringList notices;
    std::function<void()> onMessage;
};

// A member with every field filled in, as the application stores it.
MemberRecord sampleMember(const QString& card, const QString& nombre = QStringLiteral("Ana"),
                          const QString& fnacimiento = QStringLiteral("13/03/1985"));

// A new member file in `dir` holding `rows` in table order.
QString createMemberFile(const QTemporaryDir& dir, const QList<MemberRecord>& rows = {});

// A new member file in `dir` made from an SQL script of tests/data.
QString memberFileFromFixture(const QTemporaryDir& dir, const QString& script);

// Runs SQL on the file as another program would, outside the store: statements each ending with ';' at the end
// of a line. Returns the rows that the last one selects, each as the texts of its columns.
QList<QStringList> execSql(const QString& path, const QString& sql);

// Every row of "ficha" in table order, read outside the store.
QList<MemberRecord> allRows(const QString& path);

QString testDataPath(const QString& name);

// The Jet 4 Access fixture with its columns "ntarjeta" and "telefono" renamed into each other (the names are
// equally long): its card numbers are then the telephone numbers, of nine digits or "*****".
QByteArray accessFileWithLongCards();

// The real socios program run to its end with `home` as its home folder, as over ssh: no display, no platform
// chosen, a UTF-8 locale (`locale`: the variables that name it, "LANG=es_ES.UTF-8"); under `wrapper` when given (a
// program and its arguments, socios's path and arguments follow). Its exit code is -1 when it did not end within a
// minute, or did not end by itself.
struct SociosRun
{
    int exitCode = -1;
    QString out, err;
};
inline const QStringList kEnglishLocale = {QStringLiteral("LC_ALL=C.UTF-8")};
SociosRun runCommandLine(const QString& home, const QStringList& arguments, const QStringList& wrapper = {},
                         const QStringList& locale = kEnglishLocale);
// The same, started without waiting for it.
void startCommandLine(QProcess& process, const QString& home, const QStringList& arguments,
                      const QStringList& wrapper = {});
// The same with HOME as bytes, a name that is not UTF-8 included, or unset (no value). With `until`, on the offscreen
// platform: a window or a message box waits for the operator, so the program is killed (exit code -1) once its
// stderr has said `until`.
SociosRun runSocios(const std::optional<QByteArray>& home, const QStringList& arguments, const QString& until = {},
                    const QStringList& wrapper = {}, const QStringList& locale = kEnglishLocale);

// Makes a file or folder read-only for this process, even as root (chattr), and adds the command that undoes it
// to `undoes`. False where the system cannot.
bool makeReadOnly(const QString& path, QList<QStringList>& undoes);
// A small file system of its own (tmpfs of `size`, as mount takes it: "64k") mounted at `folder`, which is made; the
// command that unmounts it is added to `undoes`. False where the system cannot (it needs root on Linux).
bool mountSmallDisk(const QString& folder, const QString& size, QList<QStringList>& undoes);
// Fills the file system that holds `filler` to its last byte with that file: what a write then meets is a full disk.
void fillDisk(const QString& filler);

QByteArray fileBytes(const QString& path);
// Everything under `folder` by relative path: a file's bytes, "(other)" for a folder or a FIFO. What a refusal must
// leave exactly as it was.
QMap<QString, QByteArray> folderContents(const QString& folder);
