#include "app/SociosApp.h"

#include "app/AccessUpgrade.h"
#include "window/Clock.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTimer>

// "window shown" once the window has been laid out and painted; the start-up measurement waits for it.
Q_LOGGING_CATEGORY(lcStartup, "socios.startup", QtWarningMsg)

SociosApp::SociosApp(const QString& path) : m_store(path) {}

SociosApp::~SociosApp() = default;

bool SociosApp::start(const Clock& clock)
{
    StoreStatus failure = m_store.openOrCreate();
    if (!failure)
        failure = m_form.Form_Load(m_store, clock);
    if (failure) {
        qWarning("socios: %s", qUtf8Printable(failure->toString()));
        m_messages.storeFailure(*failure);
        return false;
    }
    m_view = std::make_unique<FormView>(m_form);
    m_messages.setParent(m_view.get());
    m_prompt = std::make_unique<InputDialogPrompt>(m_view.get());
    m_operations = std::make_unique<CardOperations>(m_form, m_store, *m_prompt, m_messages);
    m_operations->connectHandlers();
    return true;
}

int runSocios(const QString& path, const Clock& clock)
{
    if (const std::optional<int> exitCode = offerAccessUpgrade(path))
        return *exitCode;
    SociosApp app(path);
    if (!app.start(clock))
        return 1;
    app.view()->show();
    QTimer::singleShot(0, [] { qCInfo(lcStartup, "window shown"); });
    return QApplication::exec();
}
