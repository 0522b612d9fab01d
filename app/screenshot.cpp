// Renders the main window, started on a small sample member file, to a PNG file:
//   socios-screenshot OUTPUT.png
// Runs on any Qt platform; scripts use the offscreen one, so no display is needed.

#include "app/Appearance.h"
#include "app/FormView.h"
#include "store/MemberStore.h"
#include "window/Clock.h"
#include "window/Form1.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

class FixedClock : public Clock
{
public:
    QDate today() const override { return QDate(2026, 3, 10); }
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
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: socios-screenshot OUTPUT.png\n";
        return 2;
    }

    QTemporaryDir folder;
    const MemberStore store(folder.filePath(QStringLiteral("dorvel.mdb")));
    StoreStatus failure = store.openOrCreate();
    const MemberRecord members[] = {
        member("0007", "Ana", "Ruiz Gómez", "13/03/1985"),
        member("0012", "José Antonio", "Núñez Peña", "11/03/1979"),
        member("0031", "María del Carmen", "Fernández-Ibáñez", "19/03/1990"),
        member("0044", "Íñigo", "Larrañaga", "10/03/2001"),
        member("0058", "Lucía", "Sanz", "15/03/1968"),
        member("0102", "Begoña", "Martín Oñate", "25/12/1975"),
        member("0103", "Pilar", "Ortega", "00/00/0000"),
    };
    for (const MemberRecord& m : members)
        if (!failure)
            failure = store.append(m);
    Form1 form;
    if (!failure)
        failure = form.Form_Load(store, FixedClock());
    if (failure) {
        err << failure->toString() << '\n';
        return 1;
    }

    FormView view(form);
    view.show();
    QApplication::processEvents();
    if (!view.grab().save(QString::fromLocal8Bit(argv[1]))) {
        err << "cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
