// socios-bench-window: what the operator waits for in the window itself, on the offscreen platform.
//   socios-bench-window [Google Benchmark flags]
// query/rows:N    one pass of "Consulta" for a card number held by N rows: from the card number entered to the
//                 window drawn with the last of them, the member file read included.
// field/chars:N   the same for one member whose name has N characters.
// layout/...      one bare text box given a text of N characters and drawn: what Qt's text layout costs.
// server_down     one pass of "Consulta" on a server that takes the connection and never answers: from the click
//                 to the failure told; stall_ms is the longest time meanwhile that the window's
//                 thread stayed away from its event loop (no repaint possible).
// peak_MB is the process's peak resident memory so far: run one benchmark alone (--benchmark_filter) to read it
// for that benchmark.

#include "app/Appearance.h"
#include "app/FormView.h"
#include "app/MessageBoxSink.h"
#include "operations/CardOperations.h"
#include "operations/CardPrompt.h"
#include "store/MemberStore.h"
#include "window/Clock.h"
#include "window/Form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <QTimer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QTemporaryDir* g_dir = nullptr;

// The longest time the thread's event loop went without running: a timer that should fire every millisecond notes
// the largest gap between two of its firings.
class EventLoopStall
{
public:
    EventLoopStall()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_longest = std::max(m_longest, m_since.restart()); });
        m_since.start();
        m_timer.start(1);
    }
    double longestMilliseconds() const { return double(std::max(m_longest, m_since.elapsed())); }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

// Messages kept for the benchmark instead of shown.
class KeptMessages : public MessageSink
{
public:
    void storeFailure(const StoreError& error) override { failures.append(error); }
    void notice(const QString&) override {}
    QList<StoreError> failures;
};

// Enters the card number, then measures until the next prompt, by which time the window has been drawn.
class TimedPrompt : public CardPrompt
{
public:
    explicit TimedPrompt(QString card) : m_card(std::move(card)) {}

    QString inputBox(const QString&, const QString&, int, int) override
    {
        if (!m_timer.isValid()) {
            m_timer.start();
            return m_card;
        }
        QApplication::processEvents();
        seconds = m_timer.nsecsElapsed() / 1e9;
        return QStringLiteral("*");
    }

    double seconds = 0;

private:
    QString m_card;
    QElapsedTimer m_timer;
};

MemberRecord member(const QString& card, int i)
{
    MemberRecord r;
    r.ntarjeta = card;
    r.nsocio = QString::number(i);
    r.nombre = QStringLiteral("Socio %1").arg(i);
    r.apellidos = QStringLiteral("Fernández Ibáñez");
    r.calle = i % 3 ? QStringLiteral("C/ Mayor %1").arg(i) : kEmptyMark;
    r.cp = QStringLiteral("50001");
    r.ciudad = QStringLiteral("Zaragoza");
    r.telefono = i % 5 ? QStringLiteral("976 123 456") : kEmptyMark;
    r.email = i % 7 ? QStringLiteral("socio%1@example.es").arg(i) : kEmptyMark;
    r.fnacimiento = i % 11 ? QStringLiteral("%1/03/1970").arg(1 + i % 28, 2, 10, QLatin1Char('0')) : kEmptyMark;
    r.observaciones = kEmptyMark;
    r.puntos = QStringLiteral(" %1").arg(i);
    r.fcaducidad = QStringLiteral("06/2028");
    return r;
}

QString memberFile(const QString& name, const std::vector<MemberRecord>& rows)
{
    const QString path = g_dir->filePath(name);
    if (QFile::exists(path))
        return path;
    const MemberStore store(path);
    StoreResult<void> made = store.openOrCreate();
    if (made) {
        const StoreResult<bool> filled = store.fillEmpty([&](const MemberStore::AddRecord& add) -> StoreResult<void> {
            for (const MemberRecord& row : rows)
                if (StoreResult<void> done = add(row); !done)
                    return done;
            return {};
        });
        if (!filled)
            made = filled.error();
    }
    if (!made)
        qFatal("%s", qUtf8Printable(made.error().toString()));
    return path;
}

double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

void queryPass(benchmark::State& state, const QString& path, const QString& card)
{
    const MemberStore store(path);
    Form1 form;
    if (!form.load(store, FixedClock(QDate(2026, 3, 27))).ok())
        state.SkipWithError("start-up failed");
    FormView view(form);
    view.show();
    QApplication::processEvents();
    MessageBoxSink messages(&view);
    for (auto _ : state) {
        TimedPrompt prompt(card);
        CardOperations operations(form, store, prompt, messages);
        operations.lookUpMembers();
        state.SetIterationTime(prompt.seconds);
    }
    state.counters["peak_MB"] = peakMegabytes();
}

void manyRows(benchmark::State& state)
{
    const int count = int(state.range(0));
    std::vector<MemberRecord> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(member(QStringLiteral("0007"), i));
    queryPass(state, memberFile(QStringLiteral("rows-%1.mdb").arg(count), rows), QStringLiteral("0007"));
}

void longField(benchmark::State& state)
{
    const qint64 chars = state.range(0);
    const QString path = g_dir->filePath(QStringLiteral("field-%1.mdb").arg(chars));
    if (!QFile::exists(path)) {
        MemberRecord row = member(QStringLiteral("0500"), 1);
        row.nombre = QString(chars, QLatin1Char('x'));
        for (qsizetype i = 0; i < row.nombre.size(); i += 9)
            row.nombre[i] = QLatin1Char(' ');
        memberFile(QStringLiteral("field-%1.mdb").arg(chars), {row});
    }
    queryPass(state, path, QStringLiteral("0500"));
}

// What Qt's text layout costs for one box of the window holding a text of N characters, drawn once: what
// FormView::kShownChars is chosen from. Plain Latin text, or a mix of scripts that needs fallback fonts.
void boxLayout(benchmark::State& state, bool mixed)
{
    const qsizetype chars = state.range(0);
    const QString pieces[] = {"a", "ñ", "😀", "ب", "中", "e\u0301", " ", "Ω", "ก"};
    QString text;
    while (text.size() < chars)
        text += mixed ? pieces[text.size() % 9] : QString(QChar(char16_t(u'a' + text.size() % 26)));
    QLineEdit box;
    box.setFont(designFont(FontDesign{"Arial", 9.75, true})); // the member boxes' font
    box.setMaxLength(std::numeric_limits<int>::max());
    box.resize(353, 25);
    box.show();
    QApplication::processEvents();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        box.setText(text);
        box.repaint();
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        box.clear();
    }
    state.counters["peak_MB"] = peakMegabytes();
}

void serverDown(benchmark::State& state)
{
    // A port that takes connections (the system completes them) and never reads or answers.
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(silent, reinterpret_cast<sockaddr*>(&address), length) || listen(silent, 64) ||
        getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length))
        qFatal("cannot listen on the loopback");
    MemberStore store(
        *StoreAddress::parse(QStringLiteral("postgresql://caja@127.0.0.1:%1/socios").arg(ntohs(address.sin_port))));
    // As the application waits for a server.
    store.setWaiting([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    Form1 form;
    form.showIdleState();
    FormView view(form);
    view.show();
    QApplication::processEvents();
    KeptMessages messages;
    double stall = 0;
    for (auto _ : state) {
        TimedPrompt prompt(QStringLiteral("0001"));
        CardOperations operations(form, store, prompt, messages);
        EventLoopStall probe;
        QElapsedTimer timer;
        timer.start();
        operations.lookUpMembers(); // the card number is entered at once; the failure ends the pass
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        stall = std::max(stall, probe.longestMilliseconds());
    }
    if (messages.failures.isEmpty() || messages.failures.last().cause != StoreError::Cause::ServerUnreachable)
        state.SkipWithError("the silent server was not told as unreachable");
    state.counters["stall_ms"] = stall;
    close(silent);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    applyAppearance();
    QTemporaryDir dir;
    g_dir = &dir;

    benchmark::RegisterBenchmark("query/rows", manyRows)
        ->Arg(1)
        ->Arg(10'000)
        ->ArgName("rows")
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("field", longField)
        ->Arg(1'000'000)
        ->Arg(20'000'000)
        ->Arg(150'000'000)
        ->ArgName("chars")
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);

    for (bool mixed : {false, true})
        benchmark::RegisterBenchmark(mixed ? "layout/mixed" : "layout/plain", boxLayout, mixed)
            ->RangeMultiplier(10)
            ->Range(1'000, 1'000'000)
            ->ArgName("chars")
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(3)
            ->ReportAggregatesOnly(true);

    benchmark::RegisterBenchmark("server_down", serverDown)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
