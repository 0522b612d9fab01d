// Renders the main window, started on a small sample member file, to a PNG file:
//   socios-screenshot OUTPUT.png             the window as it starts
//   socios-screenshot OUTPUT.png CARD...     "Consulta" with these card numbers entered, grabbed while the
//                                            prompt asks for the next one
// Runs on any Qt platform; scripts use the offscreen one, so no display is needed.

#include "app/Appearance.h"
#include "app/FormView.h"
#include "app/Language.h"
#include "app/MessageBoxSink.h"
#include "operations/CardOperations.h"
#include "operations/CardPrompt.h"
#include "store/MemberStore.h"
#include "window/Clock.h"
#include "window/Form1.h"

#include <QApplication>

#include <QTemporaryDir>
#include <QTextStream>
#include <functional>

namespace {

// Answers the given card numbers; when they are used up, grabs the window and leaves with "*".
class ScriptedPrompt : public CardPrompt
{
public:
    ScriptedPrompt(QStringList answers, std::function<void()> grab) : m_answers(answers), m_grab(grab) {}

    QString inputBox(const QString&, const QString&, int, int) override
    {
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        m_grab();
        return QStringLiteral("*");
    }

private:
    QStringList m_answers;
    std::function<void()> m_grab;
};

MemberRecord member(const char* card, const char* nombre, const char* apellidos, const char* birth)
{
    MemberRecord r;
    r.ntarjeta = QString::fromUtf8(card);
    r.nsocio = QStringLiteral("*****");
    r.nombre = QString::fromUtf8(nombre);
    r.apellidos = QString::fromUtf8(apellidos);
    r.calle = r.cp = r.ciudad = r.telefono = r.email = r.observaciones = kEmptyMark;
    r.fnacimiento = QString::fromUtf8(birth);
    r.puntos = QStringLiteral(" 150");
    r.fcaducidad = QStringLiteral("00/0000");
    return r;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    applyAppearance();
    installSpanishTranslations();
    QTextStream err(stderr);
    if (argc < 2) {
        err << "usage: socios-screenshot OUTPUT.png [CARD...]\n";
        return 2;
    }

    QTemporaryDir folder;
    const MemberStore store(folder.filePath(QStringLiteral("dorvel.mdb")));
    StoreResult<void> made = store.openOrCreate();
    const MemberRecord members[] = {
        member("0007", "Ana", "Ruiz Gómez", "13/03/1985"),
        member("0012", "José Antonio", "Núñez Peña", "11/03/1979"),
        member("0031", "María del Carmen", "Fernández-Ibáñez", "19/03/1990"),
        member("0044", "Íñigo", "Larrañaga", "10/03/2001"),
        member("0058", "Lucía", "Sanz", "15/03/1968"),
        member("0102", "Begoña", "Martín Oñate", "25/12/1975"),
        member("0103", "Pilar", "Ortega", "00/00/0000"),
    };
    MemberRecord complete = member("0200", "Carmen", "Ibáñez Soler", "22/07/1971");
    complete.calle = QStringLiteral("C/ Mayor 12, 3º A");
    complete.cp = QStringLiteral("50001");
    complete.ciudad = QStringLiteral("Zaragoza");
    complete.telefono = QStringLiteral("976 123 456");
    complete.nsocio = QStringLiteral("1200");
    complete.fcaducidad = QStringLiteral("09/2028");
    complete.puntos = QStringLiteral(" 17.5");
    for (const MemberRecord& m : members)
        if (made)
            made = store.append(m);
    if (made)
        made = store.append(complete);
    Form1 form;
    if (made)
        made = form.load(store, FixedClock(QDate(2026, 3, 10)));
    if (!made) {
        err << made.error().toString() << '\n';
        return 1;
    }

    FormView view(form);
    view.show();
    QApplication::processEvents();
    bool saved = false;
    auto grab = [&] {
        QApplication::processEvents();
        // The whole form, as a screen that holds it shows the window.
        saved = view.surface()->grab().save(QString::fromLocal8Bit(argv[1]));
    };
    if (argc == 2) {
        grab();
    } else {
        QStringList cards;
        for (int i = 2; i < argc; ++i)
            cards << QString::fromLocal8Bit(argv[i]);
        ScriptedPrompt prompt(cards, grab);
        MessageBoxSink messages(&view);
        CardOperations operations(form, store, prompt, messages);
        operations.lookUpMembers();
    }
    if (!saved) {
        err << "cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
