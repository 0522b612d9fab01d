#pragma once

#include "app/FormView.h"
#include "app/InputDialogPrompt.h"
#include "app/MessageBoxSink.h"
#include "operations/CardOperations.h"
#include "store/MemberStore.h"
#include "window/Form1.h"

#include <QString>

#include <memory>

class Clock;

// The application on one member file: the window model, its widgets, the real dialogs and the operations,
// wired together.
class SociosApp
{
public:
    explicit SociosApp(const QString& path);
    ~SociosApp();

    // Start-up: checks (or, on a first start, creates) the member file and loads the window. A file that
    // cannot be read is reported in a message box; the window is then never made and false is returned.
    bool start(const Clock& clock);

    Form1& form() { return m_form; }
    // The window; exists once start() has succeeded.
    FormView* view() { return m_view.get(); }

private:
    MemberStore m_store;
    Form1 m_form;
    MessageBoxSink m_messages;
    std::unique_ptr<FormView> m_view;
    std::unique_ptr<InputDialogPrompt> m_prompt;
    std::unique_ptr<CardOperations> m_operations;
};

// The whole application: start-up, then the window until it is closed. Returns the process exit code; needs a
// QApplication.
int runSocios(const QString& path, const Clock& clock);
