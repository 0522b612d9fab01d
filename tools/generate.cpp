// socios-generate MEMBERS PATH [SEED]: writes a new member file of realistic members, for measurements. PATH may
// be a server's address (postgresql://...) whose database holds no members yet.

#include "tools/MemberGenerator.h"

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
    const std::optional<StoreAddress> store = ok ? StoreAddress::parse(args[2]) : std::nullopt;
    if (!store) {
        out << "usage: socios-generate MEMBERS PATH|URI [SEED]\n";
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    const StoreResult<void> generated =
        store->isServer() ? generateMembers(*store, options) : generateMemberFile(store->path(), options);
    if (!generated) {
        out << generated.error().toString() << '\n';
        return 1;
    }
    out << options.members << " members written to " << store->displayName() << " in " << timer.elapsed() << " ms\n";
    return 0;
}
