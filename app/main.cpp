#include "app/Appearance.h"
#include "app/Language.h"
#include "app/SociosApp.h"
#include "cli/CommandLine.h"
#include "cli/ImportReport.h"
#include "store/MemberStore.h"
#include "translations/Translations.h"
#include "window/Clock.h"

#include <QApplication>

#ifdef Q_OS_WIN
#include <cstdio>
#include <qt_windows.h>
#endif

namespace {

#ifdef Q_OS_WIN
// socios is a GUI program on Windows, which starts without a console. A command-line mode writes to the console of
// the terminal that started it; a stream redirected to a file or a pipe stays where it was sent.
void attachToTerminal()
{
    auto redirected = [](DWORD stream) {
        const DWORD type = GetFileType(GetStdHandle(stream));
        return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
    };
    const bool in = redirected(STD_INPUT_HANDLE);
    const bool out = redirected(STD_OUTPUT_HANDLE);
    const bool err = redirected(STD_ERROR_HANDLE);
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return; // started from the menu or a shortcut: there is no terminal to write to
    FILE* reopened = nullptr;
    if (!in)
        freopen_s(&reopened, "CONIN$", "r", stdin);
    if (!out)
        freopen_s(&reopened, "CONOUT$", "w", stdout);
    if (!err)
        freopen_s(&reopened, "CONOUT$", "w", stderr);
}
#endif

// The exit code of a run of the window (see ExitCode).
int exitCode(const SociosEnd& end)
{
    switch (end.how) {
    case SociosEnd::How::Closed:
        return end.eventLoop;
    case SociosEnd::How::NotStarted:
        return kExitStoreFailure;
    case SociosEnd::How::Declined:
        return kExitDeclined;
    case SociosEnd::How::ImportFailed:
        return exitCodeFor(*end.importError);
    }
    return kExitStoreFailure;
}

} // namespace

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
#ifdef Q_OS_WIN
        attachToTerminal();
#endif
        QCoreApplication application(argc, argv);
        // The owner's language, as the system names it; the arguments are read again, so that what is wrong with
        // them is said in it too.
        installTranslations(QLocale::system());
        return runCommandLine(parseCommandLine(arguments));
    }

    QApplication application(argc, argv);
    applyAppearance();
    installSpanishTranslations();
    const StoreChoice store = chooseStore(command.database);
    if (!store.address) {
        if (store.about == StoreChoice::About::HomeFolder)
            reportNoHomeFolder(store.error);
        else
            reportConfigurationError(store.error);
        return kExitStoreFailure;
    }
    const SystemClock clock;
    return exitCode(runSocios(*store.address, clock));
}
