#pragma once

#include "app/FormView.h"
#include "app/InputDialogPrompt.h"
#include "app/MessageBoxSink.h"
#include "intake/ImportError.h"
#include "operations/CardOperations.h"
#include "store/MemberStore.h"
#include "window/Form1.h"

#include <QDate>
#include <QString>

#include <memory>
#include <optional>

class Clock;
class QLabel;
class QThread;

// The application on one member store (a member file, or a server): the window model, its widgets, the real
// dialogs and the operations, wired together.
class SociosApp
{
public:
    explicit SociosApp(const QString& path);
    explicit SociosApp(const StoreAddress& store);
    ~SociosApp();

    // Start-up: checks (or, on a first start, creates) the member file and loads the window. A file that
    // cannot be read is reported in a message box; the window is then never made and false is returned.
    // Once the window shows, the operator is told what start-up found (a new, empty file; a file that cannot be
    // written), and the whole file is checked for damage in the background: a damaged file is reported once, and
    // every save is refused from then on. A file without its lookup indexes gets them in the background too, and
    // the birthday list follows.
    bool start(const Clock& clock);

    // Whether the work that start-up leaves until the window is on screen has run to its end: false until the
    // window has been exposed (for tests).
    bool checksDone() const;

    Form1& form() { return m_form; }
    const MemberStore& store() const { return m_store; }
    // The window; exists once start() has succeeded.
    FormView* view() { return m_view.get(); }

private:
    // Tells the operator what start-up found, once the window is on screen.
    void announceStartup();
    // Runs in a thread of its own, on a connection of its own: the missing indexes, then the damage check.
    void startChecks(QDate today, bool listLater);

    MemberStore m_store;
    Form1 m_form;
    MessageBoxSink m_messages;
    std::unique_ptr<FormView> m_view;
    std::unique_ptr<InputDialogPrompt> m_prompt;
    std::unique_ptr<CardOperations> m_operations;
    std::unique_ptr<QThread> m_checks;
    QLabel* m_listNote = nullptr; // over the birthday list while it waits for the indexes
};

// How the application ended; main() turns it into the process's exit code.
struct SociosEnd
{
    enum class How {
        Closed,       // the window was closed
        NotStarted,   // the member store cannot be used, which a message has said
        Declined,     // the operator chose not to import the earlier program's Access file
        ImportFailed, // importing it failed and nothing was changed, which a message has said
    };
    How how = How::Closed;
    int eventLoop = 0;                      // Closed: what the event loop returned
    std::optional<ImportError> importError; // ImportFailed: why
};

// The whole application: start-up, then the window until it is closed. Needs a QApplication. The question about
// the earlier program's Access file is asked only of a member file.
SociosEnd runSocios(const StoreAddress& store, const Clock& clock);

// Says in a message box that the configuration file (or --database) cannot be used.
void reportConfigurationError(const QString& error);
// Says in a message box that there is no home folder to hold the member file.
void reportNoHomeFolder(const QString& error);
