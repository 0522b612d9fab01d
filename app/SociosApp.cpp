#include "app/SociosApp.h"

#include "app/AccessUpgrade.h"
#include "backup/Backups.h"
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
    StoreFailure failure = m_store.openOrCreate(MemberStore::Indexes::Defer);
    // Without its indexes the list of a large file takes seconds to read: the window comes first.
    const bool listLater = !failure && m_store.startup().indexesMissing;
    if (!failure)
        failure = m_form.Form_Load(m_store, clock, listLater ? Form1::BirthdayList::Later : Form1::BirthdayList::Now);
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
    if (listLater) {
        const Control& list = m_form.List1;
        m_listNote = new QLabel(QStringLiteral("Preparando la lista de cumpleaños…"), m_view->widgetFor(list));
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
            m_messages.notice(QStringLiteral("La base de datos del servidor de socios estaba vacía, así que se han "
                                             "creado en ella las tablas de socios, sin ningún socio:\n%1")
                                  .arg(m_store.path()));
        if (found.writesRefused)
            m_messages.notice(QStringLiteral("El servidor de socios solo permite consultar:\n%1\n\nSe pueden "
                                             "consultar los socios, pero no dar altas ni guardar cambios.")
                                  .arg(m_store.path()));
        return;
    }
    if (found.created)
        m_messages.notice(QStringLiteral("No había ningún archivo de socios, así que se ha creado uno nuevo y vacío "
                                         "en:\n%1\n\nSi esperaba ver sus socios, cierre el programa y compruebe que la "
                                         "carpeta o la unidad donde estaban está disponible.")
                              .arg(m_store.path()));
    if (found.writesRefused == StoreError::Cause::ReadOnly && found.logBesideFile)
        m_messages.notice(
            QStringLiteral("El archivo de socios es de solo lectura:\n%1\n\nLos últimos cambios guardados "
                           "están completos, pero quedaron junto al archivo, en %2, y todavía no dentro "
                           "de él. Se pueden consultar los socios con esos cambios, pero no dar altas ni "
                           "guardar cambios. Los cambios pasarán al archivo en cuanto se pueda volver a "
                           "escribir en el archivo y en su carpeta; mientras tanto, no borre ni mueva %2.")
                .arg(m_store.path(), QFileInfo(m_store.path()).fileName() + QStringLiteral("-wal")));
    else if (found.writesRefused == StoreError::Cause::ReadOnly)
        m_messages.notice(QStringLiteral("El archivo de socios es de solo lectura:\n%1\n\nSe pueden consultar los "
                                         "socios, pero no dar altas ni guardar cambios.")
                              .arg(m_store.path()));
    if (found.writesRefused == StoreError::Cause::DiskFull)
        m_messages.notice(QStringLiteral("El disco está lleno:\n%1\n\nSe pueden consultar los socios, pero no dar "
                                         "altas ni guardar cambios hasta que libere espacio.")
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
            if (const StoreFailure failed = writable ? store.buildMissingIndexes() : std::nullopt)
                qWarning("socios: lookups stay unindexed: %s", qUtf8Printable(failed->toString()));
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
                const auto* list = static_cast<QAbstractItemView*>(m_view->widgetFor(m_form.List1));
                qCInfo(lcStartup, "birthday list shown: %d lines", list->model()->rowCount());
            });
        }
        if (QThread::currentThread()->isInterruptionRequested())
            return;
        const StoreResult<bool> intact = store.quickCheck();
        qCInfo(lcStartup, "file checked");
        if (!intact.ok()) {
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
                    QStringLiteral("El archivo de socios está dañado:\n%1\n\nSe pueden consultar los socios, pero no "
                                   "se guardará ningún cambio. ")
                        .arg(m_store.path()) +
                    (good ? QStringLiteral("La última copia de seguridad buena es la del %1:\n%2\n\nCierre el "
                                           "programa y recupérela con la orden:\nsocios --restore \"%2\"")
                                .arg(QLocale(QLocale::Spanish).toString(good->day, QLocale::LongFormat), good->path)
                          : QStringLiteral(
                                "No hay ninguna copia de seguridad buena. Cierre el programa y pida ayuda.")));
            });
        } else if (daily.error) {
            const StoreError::Cause cause = daily.error->cause;
            const QString folder = backups.folder();
            QMetaObject::invokeMethod(window, [this, cause, folder] {
                const QString why = cause == StoreError::Cause::DiskFull   ? QStringLiteral("El disco está lleno.")
                                    : cause == StoreError::Cause::ReadOnly ? QStringLiteral("La carpeta es de solo "
                                                                                            "lectura.")
                                                                           : QString();
                m_messages.notice(QStringLiteral("No se ha podido hacer la copia de seguridad de hoy en:\n%1\n\n%2%3El "
                                                 "programa sigue funcionando con normalidad.")
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
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Socios"),
                    QStringLiteral("No se puede saber dónde están los socios: el archivo de configuración\n%1\nno es "
                                   "válido. Corríjalo (o bórrelo para usar el archivo de socios de este ordenador) y "
                                   "vuelva a abrir el programa.")
                        .arg(configurationFile()),
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("configurationError"));
    box.setDetailedText(error);
    box.exec();
}

void reportNoHomeFolder(const QString& error)
{
    qWarning("socios: %s", qUtf8Printable(error));
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Socios"),
                    QStringLiteral("No se puede abrir el programa: no se encuentra la carpeta personal de este usuario "
                                   "(no está indicada, no existe o su nombre no se puede leer), que es donde se guarda "
                                   "el archivo de socios, MIS PROGRAMAS/dorvel.mdb. Para no crear un archivo de socios "
                                   "en otro sitio, el programa no se abre. Avise a quien administra este ordenador."),
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("noHomeFolder"));
    box.setDetailedText(error);
    box.exec();
}
