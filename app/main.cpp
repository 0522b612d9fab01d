#include "app/Appearance.h"
#include "app/Language.h"
#include "app/SociosApp.h"
#include "cli/CommandLine.h"
#include "store/MemberStore.h"
#include "window/Clock.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("socios"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SOCIOS_VERSION));

    // The mode is known before any application object exists: a command-line mode never makes a Widgets object,
    // so it runs without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = parseCommandLine(arguments);
    if (command.mode != CommandLine::Mode::Window) {
        QCoreApplication application(argc, argv);
        return runCommandLine(command);
    }

    QApplication application(argc, argv);
    applyAppearance();
    installSpanishTranslations();
    const SystemClock clock;
    return runSocios(MemberStore::defaultPath(), clock);
}
