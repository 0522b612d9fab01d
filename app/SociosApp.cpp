#include "app/SociosApp.h"

#include "app/AccessUpgrade.h"
#include "app/WindowText.h"
#include "backup/Backups.h"
#include "store/Schema.h"
#include "window/Clock.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QWindow>

// "window shown" once the window has been laid out and painted; the start-up measurement waits for it.
Q_LOGGING_CATEGORY(lcStartup, "socios.startup", QtWarningMsg)

namespace {

// How long start-up waits, after the window was shown, for the window system to expose it (a window started
// minimised is not exposed until it is restored). The after-show work then runs anyway, and says why.
constexpr int kExposeWaitMs = 5000;

// Runs `then` once, from the event loop, after `window` is first exposed: the one event that every platform (X11,
// Wayland, Windows, the offscreen platform) sends a top-level window once it can be seen, whatever its widgets
// cover. A paint of a widget is no such event: a widget covered by its children is never painted on X11.
class FirstExpose : public QObject
{
public:
    FirstExpose(QWindow* window, std::function<void()> then) : QObject(window), m_then(std::move(then))
    {
        m_fallback.setSingleShot(true);
        m_fallback.callOnTimeout(this, [this] {
            qWarning("socios: the window was not exposed within %d ms of being shown; the start-up work runs now",
                     kExposeWaitMs);
            run();
        });
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            run();
        else if (event->type() == QEvent::Show && m_then && !m_fallback.isActive())
            m_fallback.start(kExposeWaitMs);
        return false;
    }

private:
    void run()
    {
        if (!m_then)
            return;
        m_fallback.stop();
        parent()->removeEventFilter(this);
        // After the expose has been painted.
        QTimer::singleShot(0, this, std::exchange(m_then, {}));
    }

    std::function<void()> m_then;
    QTimer m_fallback;
};

} // namespace

SociosApp::SociosApp(const QString& path) : m_store(path) {}

SociosApp::SociosApp(const StoreAddress& store) : m_store(store) {}

SociosApp::~SociosApp()
{
    if (m_checks) {
        // Stops the check where it is: it only reads.
        m_checks->requestInterruption();
        m_checks->wait();
    }
}

bool SociosApp::start(const Clock& clock)
{
    // While a server is waited for, the window is repainted and timers run; the operator's keys and clicks wait
    // for the operation to end.
    m_store.setWaiting([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    StoreResult<void> started = m_store.openOrCreate(MemberStore::Indexes::Defer);
    // Without its indexes the list of a large file takes seconds to read: the window comes first.
    const bool listLater = started && m_store.startup().indexesMissing;
    if (started)
        started = m_form.load(m_store, clock, listLater ? Form1::BirthdayList::Later : Form1::BirthdayList::Now);
    if (!started) {
        qWarning("socios: %s", qUtf8Printable(started.error().toString()));
        m_messages.storeFailure(started.error());
        return false;
    }
    m_view = std::make_unique<FormView>(m_form);
    m_messages.setParent(m_view.get());
    m_prompt = std::make_unique<InputDialogPrompt>(m_view.get());
    m_operations = std::make_unique<CardOperations>(m_form, m_store, *m_prompt, m_messages);
    m_operations->connectHandlers();
    if (listLater) {
        const Control& list = m_form.birthdayList;
        m_listNote = new QLabel(WindowText::tr("Preparing the birthday list…"), m_view->widgetFor(list));
        m_listNote->setObjectName(QStringLiteral("listNote"));
        m_listNote->setAlignment(Qt::AlignCenter);
        m_listNote->setWordWrap(true);
        m_listNote->setGeometry(m_view->widgetFor(list)->rect());
    }
    // Nothing competes with the window for the processor or the disk until it is on screen.
    m_view->winId();
    new FirstExpose(m_view->windowHandle(), [this, today = clock.today(), listLater] {
        qCInfo(lcStartup, "window exposed");
        startChecks(today, listLater);
        announceStartup();
    });
    return true;
}

void SociosApp::announceStartup()
{
    const MemberStore::Startup& found = m_store.startup();
    if (m_store.address().isServer()) {
        if (found.created)
            m_messages.notice(WindowText::tr("The member server's database was empty, so the member tables were made "
                                             "in it, without any member:\n%1")
                                  .arg(m_store.path()));
        if (found.writesRefused)
            m_messages.notice(WindowText::tr("The member server only allows lookups:\n%1\n\nThe members can be looked "
                                             "up, but no member can be registered and no change saved.")
                                  .arg(m_store.path()));
        return;
    }
    if (found.created)
        m_messages.notice(
            WindowText::tr(
                "There was no member file, so a new, empty one was made at:\n%1\n\nIf you expected to see your "
                "members, close the program and check that the folder or the drive where they were is there.")
                .arg(m_store.path()));
    if (found.writesRefused == StoreError::Cause::ReadOnly && found.logBesideFile)
        m_messages.notice(
            WindowText::tr(
                "The member file is read-only:\n%1\n\nThe last changes saved are complete, but they were left beside "
                "the file, in %2, and are not inside it yet. The members can be looked up with those changes, but no "
                "member can be registered and no change saved. The changes go into the file as soon as the file and "
                "its folder can be written again; meanwhile, do not delete or move %2.")
                .arg(m_store.path(), QFileInfo(m_store.path()).fileName() + kLogSuffix));
    else if (found.writesRefused == StoreError::Cause::ReadOnly)
        m_messages.notice(WindowText::tr("The member file is read-only:\n%1\n\nThe members can be looked up, but no "
                                         "member can be registered and no change saved.")
                              .arg(m_store.path()));
    if (found.writesRefused == StoreError::Cause::DiskFull)
        m_messages.notice(WindowText::tr("The disk is full:\n%1\n\nThe members can be looked up, but no member can be "
                                         "registered and no change saved until some space is freed.")
                              .arg(m_store.path()));
}

void SociosApp::startChecks(QDate today, bool listLater)
{
    const StoreAddress address = m_store.address();
    QObject* window = m_view.get();
    const bool writable = !m_store.startup().writesRefused;
    m_checks.reset(QThread::create([this, address, window, listLater, writable, today] {
        const MemberStore store(address);
        if (listLater) {
            // A file that cannot be written keeps its lookups unindexed.
            if (const StoreResult<void> built = writable ? store.buildMissingIndexes() : StoreResult<void>(); !built)
                qWarning("socios: lookups stay unindexed: %s", qUtf8Printable(built.error().toString()));
            else if (writable)
                qCInfo(lcStartup, "indexes built");
            // Read here, so that a file left without its indexes is read whole without holding up the window.
            const StoreResult<QStringList> lines = Form1::birthdayLines(store, today);
            QMetaObject::invokeMethod(window, [this, lines] {
                delete m_listNote;
                m_listNote = nullptr;
                if (!lines) {
                    m_messages.storeFailure(lines.error());
                    return;
                }
                m_form.showBirthdayList(*lines);
                const auto* list = static_cast<QAbstractItemView*>(m_view->widgetFor(m_form.birthdayList));
                qCInfo(lcStartup, "birthday list shown: %d lines", list->model()->rowCount());
            });
        }
        if (QThread::currentThread()->isInterruptionRequested())
            return;
        const StoreResult<bool> intact = store.quickCheck();
        qCInfo(lcStartup, "file checked");
        if (!intact) {
            qWarning("socios: the check of the member file did not finish: %s",
                     qUtf8Printable(intact.error().toString()));
            return;
        }
        // The first start of the day copies a sound file; a damaged one is never copied over the good copies. A
        // server is backed up where it runs (pg_dump).
        if (address.isServer())
            return;
        const Backups backups(address.path());
        const Backups::Daily daily = *intact ? backups.makeDailyCopy(store, today)
                                             : Backups::Daily{Backups::Daily::Outcome::Failed, {}, {}, true, {}};
        qCInfo(lcStartup, "daily copy: %d", int(daily.outcome));
        // Only the member file's own check says that it is damaged; a copy that fails otherwise is told below.
        const bool damaged = !*intact || daily.fileDamaged;
        if (damaged) {
            const std::optional<Backups::Copy> good = backups.newest();
            QMetaObject::invokeMethod(window, [this, good] {
                // From now on nothing more is written to a damaged file.
                m_store.refuseWrites(StoreError::Cause::Damaged);
                m_messages.notice(
                    WindowText::tr("The member file is damaged:\n%1\n\nThe members can be looked up, but no change "
                                   "will be saved. ")
                        .arg(m_store.path()) +
                    (good ? WindowText::tr("The latest good backup is the one of %1:\n%2\n\nClose the program and "
                                           "restore it with the command:\nsocios --restore \"%2\"")
                                .arg(QLocale(QLocale::Spanish).toString(good->day, QLocale::LongFormat), good->path)
                          : WindowText::tr("There is no good backup. Close the program and ask for help.")));
            });
        } else if (daily.error) {
            const StoreError::Cause cause = daily.error->cause;
            const QString folder = backups.folder();
            QMetaObject::invokeMethod(window, [this, cause, folder] {
                const QString why = cause == StoreError::Cause::DiskFull   ? WindowText::tr("The disk is full.")
                                    : cause == StoreError::Cause::ReadOnly ? WindowText::tr("The folder is read-only.")
                                                                           : QString();
                m_messages.notice(
                    WindowText::tr(
                        "Today's backup could not be made in:\n%1\n\n%2%3The program goes on working as usual.")
                        .arg(folder, why, why.isEmpty() ? QString() : QStringLiteral("\n\n")));
            });
        }
    }));
    m_checks->start(QThread::LowPriority);
}

bool SociosApp::checksDone() const
{
    return m_checks && m_checks->isFinished();
}

SociosEnd runSocios(const StoreAddress& store, const Clock& clock)
{
    if (!store.isServer())
        if (const std::optional<AccessUpgradeStop> stopped = offerAccessUpgrade(store.path()))
            return stopped->failure ? SociosEnd{SociosEnd::How::ImportFailed, 0, stopped->failure}
                                    : SociosEnd{SociosEnd::How::Declined, 0, std::nullopt};
    SociosApp app(store);
    if (!app.start(clock))
        return {SociosEnd::How::NotStarted, 0, std::nullopt};
    app.view()->show();
    QTimer::singleShot(0, [] { qCInfo(lcStartup, "window shown"); });
    return {SociosEnd::How::Closed, QApplication::exec(), std::nullopt};
}

void reportConfigurationError(const QString& error)
{
    qWarning("socios: %s", qUtf8Printable(error));
    QMessageBox box(
        QMessageBox::Critical, QStringLiteral("Socios"),
        WindowText::tr("Where the members are cannot be told: the configuration file\n%1\nis not valid. Correct it (or "
                       "delete it to use this computer's member file) and open the program again.")
            .arg(configurationFile()),
        QMessageBox::Ok);
    box.setObjectName(QStringLiteral("configurationError"));
    box.setDetailedText(error);
    box.exec();
}

void reportNoHomeFolder(const QString& error)
{
    qWarning("socios: %s", qUtf8Printable(error));
    QMessageBox box(
        QMessageBox::Critical, QStringLiteral("Socios"),
        WindowText::tr(
            "The program cannot open: this user's home folder cannot be found (it is not given, does not exist, or its "
            "name cannot be read), and that is where the member file is kept, MIS PROGRAMAS/dorvel.mdb. So as not to "
            "make a member file anywhere else, the program does not open. Tell whoever runs this computer."),
        QMessageBox::Ok);
    box.setObjectName(QStringLiteral("noHomeFolder"));
    box.setDetailedText(error);
    box.exec();
}
