#include "app/SociosApp.h"

#include "app/FormView.h"
#include "app/MessageBoxSink.h"
#include "store/MemberStore.h"
#include "window/Clock.h"
#include "window/Form1.h"

#include <QApplication>

int runSocios(const QString& path, const Clock& clock)
{
    const MemberStore store(path);
    Form1 form;
    MessageBoxSink messages;

    StoreStatus failure = store.openOrCreate();
    if (!failure)
        failure = form.Form_Load(store, clock);
    if (failure) {
        qWarning("socios: %s", qUtf8Printable(failure->toString()));
        messages.storeFailure(*failure);
        return 1;
    }

    FormView view(form);
    messages.setParent(&view);
    view.show();
    return QApplication::exec();
}
