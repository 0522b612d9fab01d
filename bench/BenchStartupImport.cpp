// socios-bench-startup-import: how long the window's thread stays away from its event loop while start-up imports
// the earlier program's Access file (the operator answers «Importar», and the members are read and written).
//   socios-bench-startup-import [--rows=100000] [Google Benchmark flags]
// A probe on the window's thread, a timer that ticks every 2 ms, records the longest gap between two ticks from
// the answer to the end of the import: what the operator sees as a window that neither moves nor repaints.
//   startup-import/fixture-242   the 242-member Jet 4 fixture, read by socios-mdb-reader
//   startup-import/rows:N        N generated members, handed over by a stand-in for the reader (StandInReader.h)
// longest_stall_ms is the median of the runs' longest gaps (2 ms when the loop never waits); the time is the
// import's, from the answer to the summary.

#include "app/AccessUpgrade.h"
#include "app/Appearance.h"

#include "StandInReader.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

QTemporaryDir* g_work = nullptr;
int g_rows = 100000;

// The longest gap between two ticks of a timer on this thread while armed.
class StallProbe
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_armed)
                m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start(2);
    }
    void arm()
    {
        m_last = m_clock.nsecsElapsed();
        m_armed = true;
    }
    void disarm() { m_armed = false; }
    double longestMs() const { return m_longest / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    bool m_armed = false;
};

// Answers start-up's dialogs as an operator would: «Importar» to the question, «Aceptar» to the rest. Arms the
// probe with the answer.
class Operator
{
public:
    explicit Operator(StallProbe& probe)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, &probe] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box->property("answered").toBool())
                return;
            box->setProperty("answered", true);
            if (box->objectName() == QLatin1String("accessImportSummary"))
                summaryShown = true;
            else if (box->objectName() != QLatin1String("accessImportQuestion"))
                failed = true;
            for (QAbstractButton* button : box->buttons())
                if (button->text() == QLatin1String("Importar")) {
                    probe.arm();
                    timer.start();
                    button->click();
                    return;
                }
            box->accept();
        });
        m_timer.start(5);
    }

    QElapsedTimer timer;
    bool summaryShown = false;
    bool failed = false;

private:
    QTimer m_timer;
};

void startupImport(benchmark::State& state, const QString& file)
{
    std::vector<double> stalls;
    int run = 0;
    for (auto _ : state) {
        const QString path = g_work->filePath(QStringLiteral("run-%1/dorvel.mdb").arg(++run));
        QDir().mkpath(QFileInfo(path).path());
        QFile::copy(file, path);
        StallProbe probe;
        Operator answers(probe);
        const std::optional<AccessUpgradeStop> stopped = offerAccessUpgrade(path);
        // The summary is shown from the event loop, once the window would show.
        while (!stopped && !answers.summaryShown && !answers.failed)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        probe.disarm();
        state.SetIterationTime(answers.timer.nsecsElapsed() / 1e9);
        stalls.push_back(probe.longestMs());
        if (stopped || answers.failed)
            state.SkipWithError("the import failed");
        state.PauseTiming();
        QDir(QFileInfo(path).path()).removeRecursively();
        state.ResumeTiming();
    }
    std::sort(stalls.begin(), stalls.end());
    state.counters["longest_stall_ms"] = stalls.empty() ? 0 : stalls[stalls.size() / 2];
    state.counters["worst_stall_ms"] = stalls.empty() ? 0 : stalls.back();
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument.startsWith("--rows="))
            g_rows = argument.mid(7).toInt();
        else
            arguments.push_back(argv[i]);
    }
    int count = int(arguments.size());
    QApplication application(count, arguments.data());
    applyAppearance();
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/socios-bench-startup-import-XXXXXX"));
    g_work = &work;
    benchmark::Initialize(&count, arguments.data());

    const QString fixture = QStringLiteral(SOCIOS_ACCESS_FIXTURE);
    benchmark::RegisterBenchmark("startup-import/fixture-242",
                                 [fixture](benchmark::State& state) {
                                     qputenv("SOCIOS_MDB_READER", SOCIOS_MDB_READER_PATH);
                                     startupImport(state, fixture);
                                 })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    const std::string generated = QStringLiteral("startup-import/rows:%1").arg(g_rows).toStdString();
    benchmark::RegisterBenchmark(
        generated.c_str(),
        [fixture](benchmark::State& state) {
            // Any file with an Access header: the stand-in answers for it.
            const QDir folder(g_work->path());
            qputenv("SOCIOS_MDB_READER",
                    QFile::encodeName(StandInReader::write(folder, StandInReader::generatedMembers(folder, g_rows))));
            startupImport(state, fixture);
        })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
