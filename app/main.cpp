#include "app/Appearance.h"
#include "app/SociosApp.h"
#include "store/MemberStore.h"
#include "window/Clock.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("socios"));
    applyAppearance();
    const SystemClock clock;
    return runSocios(MemberStore::defaultPath(), clock);
}
