// socios-generate MEMBERS PATH [SEED]: writes a new member file of realistic members, for measurements.

#include "bench/MemberGenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    const QStringList args = QCoreApplication::arguments();
    bool ok = args.size() >= 3;
    GeneratorOptions options;
    if (ok)
        options.members = args[1].toInt(&ok);
    if (ok && args.size() > 3)
        options.seed = args[3].toUInt(&ok);
    if (!ok) {
        out << "usage: socios-generate MEMBERS PATH [SEED]\n";
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    if (const StoreStatus failure = generateMemberFile(args[2], options)) {
        out << failure->toString() << '\n';
        return 1;
    }
    out << options.members << " members written to " << args[2] << " in " << timer.elapsed() << " ms\n";
    return 0;
}
