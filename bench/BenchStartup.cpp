// Start-up cost: the load handler with its birthday list over member files of growing size.

#include "store/MemberStore.h"
#include "window/Clock.h"
#include "window/Form1.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

class FixedClock : public Clock
{
public:
    QDate today() const override { return QDate(2026, 3, 10); }
};

QString memberFile(const QTemporaryDir& dir, int members)
{
    const QString path = dir.filePath(QStringLiteral("dorvel-%1.mdb").arg(members));
    const MemberStore store(path);
    if (store.openOrCreate())
        return {};
    for (int i = 0; i < members; ++i) {
        MemberRecord m;
        for (Field f : allFields())
            m[f] = kEmptyMark;
        m.ntarjeta = QString::number(i).rightJustified(4, QLatin1Char('0'));
        m.nombre = QStringLiteral("Socio %1").arg(i);
        m.fnacimiento = QStringLiteral("%1/%2/1980")
                            .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                            .arg(1 + i % 12, 2, 10, QLatin1Char('0'));
        if (store.append(m))
            return {};
    }
    return path;
}

void formLoad(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = memberFile(dir, int(state.range(0)));
    if (path.isEmpty()) {
        state.SkipWithError("cannot build the member file");
        return;
    }
    const MemberStore store(path);
    const FixedClock clock;
    for (auto _ : state) {
        Form1 form;
        benchmark::DoNotOptimize(form.Form_Load(store, clock));
    }
}
BENCHMARK(formLoad)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
