// The design of Form1: every control with its name, role, container, caption, place (twips), colours, font and tab
// index. This table is the one place where a control's design name (`Text25`, the widget's object name) and its
// role (`nameBox`, the name code uses) meet.

#include "window/Form1.h"

#include "window/Form1Catalogue.h"

namespace {

constexpr Rgb kFieldLabelBack = 0xFFC0C0;
constexpr Rgb kFieldLabelText = 0x800000;
constexpr Rgb kMessageBack = 0xFFFFFF;
constexpr Rgb kMessageText = 0xFF0000;
constexpr Rgb kBoxBack = Form1::kLightYellow;
constexpr Rgb kBlack = 0x000000;

constexpr FontDesign kWindowFont{};
constexpr FontDesign kBoxFont{"Arial", 9.75, true};
constexpr FontDesign kLargeBoxFont{"Arial", 24, true};
constexpr FontDesign kEntryFont{"Arial", 29.25, true};
constexpr FontDesign kButtonFont{"Comic Sans MS", 12, false};
constexpr FontDesign kMessageFont{"Comic Sans MS", 14.25, false};
constexpr FontDesign kSmallComicFont{"Comic Sans MS", 8.25, false};

constexpr auto L = Alignment::Left;
constexpr auto C = Alignment::Center;

constexpr auto Frame = ControlKind::Frame;
constexpr auto Box = ControlKind::TextBox;
constexpr auto Lbl = ControlKind::Label;
constexpr auto Btn = ControlKind::Button;

// One row per control: its name in the window's design (the widget's object name), the role it plays (the
// member of Form1 that code uses), then its design.
// clang-format off
#define CONTROL(name, role, ...) {&Form1::role, {#name, #role, __VA_ARGS__}}
// clang-format on

} // namespace

// Containers come before what they contain; within one container, later controls lie above earlier ones.
const std::vector<CatalogueEntry>& formCatalogue()
{
    static const std::vector<CatalogueEntry> entries = {
        // Covered by "Acciones": listed first so that the frame lies above it.
        CONTROL(Label7, hiddenDayLabel, Lbl, nullptr, "día", {1200, 5520, 495, 255}, {}, {}, kWindowFont),

        CONTROL(Frame5, actionsFrame, Frame, nullptr, "Acciones", {120, 0, 2775, 9495}, 0xFFFF00, {}, kWindowFont),
        CONTROL(Frame1, messageFrame, Frame, "Frame5", "información", {120, 2160, 2535, 2895}, 0xFFFFFF, {},
                kWindowFont),
        CONTROL(Frame6, memberFrame, Frame, nullptr, "Personales", {3000, 120, 5895, 9375}, 0xC0C0C0, {}, kWindowFont),

        // Member boxes and their labels
        CONTROL(Label4, nameLabel, Lbl, "Frame6", "nombre", {240, 480, 1815, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text25, nameBox, Box, "Frame6", "", {240, 720, 5295, 375}, kBoxBack, kBlack, kBoxFont, L, 6, "Label4"),
        CONTROL(Label6, surnameLabel, Lbl, "Frame6", "apellidos", {240, 1080, 1815, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Text26, surnameBox, Box, "Frame6", "", {240, 1320, 5295, 375}, kBoxBack, kBlack, kBoxFont, L, 7,
                "Label6"),
        CONTROL(Label22, birthDateHeading, Lbl, "Frame6", "fecha nacimiento", {240, 2160, 1455, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Label21, birthDayLabel, Lbl, "Frame6", "día", {1800, 1920, 495, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text28, birthDayBox, Box, "Frame6", "", {1800, 2160, 495, 375}, kBoxBack, kBlack, kBoxFont, C, 8,
                "Label21"),
        CONTROL(Label23, birthMonthLabel, Lbl, "Frame6", "mes", {2400, 1920, 495, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Text29, birthMonthBox, Box, "Frame6", "", {2400, 2160, 495, 375}, kBoxBack, kBlack, kBoxFont, C, 9,
                "Label23"),
        CONTROL(Label26, birthYearLabel, Lbl, "Frame6", "año", {3000, 1920, 855, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text30, birthYearBox, Box, "Frame6", "", {3000, 2160, 855, 375}, kBoxBack, kBlack, kBoxFont, C, 11,
                "Label26"),
        CONTROL(cumple, birthdayGreetingNote, Lbl, "Frame6", "atención felicitar cumpleaños", {4080, 2160, 1575, 375},
                {}, 0xFF0000, kWindowFont),
        CONTROL(Label24, addressHeading, Lbl, "Frame6", "domicilio", {240, 2640, 855, 255}, 0x0000C0, 0xFFFFFF,
                kSmallComicFont),
        CONTROL(Label9, streetLabel, Lbl, "Frame6", "calle o plaza/número", {240, 3000, 1815, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Text34, streetBox, Box, "Frame6", "", {240, 3240, 5295, 375}, kBoxBack, kBlack, kBoxFont, L, 12,
                "Label9"),
        CONTROL(Label10, postcodeLabel, Lbl, "Frame6", "c.postal", {240, 3600, 855, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Text35, postcodeBox, Box, "Frame6", "", {240, 3840, 855, 375}, kBoxBack, kBlack, kBoxFont, L, 13,
                "Label10"),
        CONTROL(Label11, cityLabel, Lbl, "Frame6", "ciudad", {1200, 3600, 855, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text36, cityBox, Box, "Frame6", "", {1200, 3840, 4335, 375}, kBoxBack, kBlack, kBoxFont, L, 14,
                "Label11"),
        CONTROL(Label13, phoneLabel, Lbl, "Frame6", "teléfono", {240, 4440, 1815, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Text38, phoneBox, Box, "Frame6", "", {240, 4680, 5295, 375}, kBoxBack, kBlack, kBoxFont, L, 15,
                "Label13"),
        CONTROL(Label15, emailLabel, Lbl, "Frame6", "email", {240, 5040, 1815, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text40, emailBox, Box, "Frame6", "", {240, 5280, 5295, 375}, kBoxBack, kBlack, kBoxFont, L, 16,
                "Label15"),
        CONTROL(Label1, managementHeading, Lbl, "Frame6", "datos de gestión", {240, 5880, 3135, 255}, 0x0000C0,
                0xFFFFFF, kWindowFont),
        CONTROL(Label3, memberNumberLabel, Lbl, "Frame6", "número de socio", {240, 6360, 1815, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Text1, memberNumberBox, Box, "Frame6", "", {240, 6600, 1815, 375}, kBoxBack, kBlack, kBoxFont, L, 17,
                "Label3"),
        CONTROL(Label27, cardNumberLabel, Lbl, "Frame6", "número de tarjeta", {2280, 6360, 1815, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Text4, cardNumberBox, Box, "Frame6", "", {2280, 6600, 1815, 375}, kBoxBack, kBlack, kBoxFont, L, 55,
                "Label27"),
        CONTROL(Label20, expiryDateHeading, Lbl, "Frame6", "fecha caducidad", {240, 7320, 1455, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Label16, expiryMonthLabel, Lbl, "Frame6", "mes", {1800, 7080, 495, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Text45, expiryMonthBox, Box, "Frame6", "", {1800, 7320, 495, 375}, kBoxBack, kBlack, kBoxFont, L, 18,
                "Label16"),
        CONTROL(Label19, expiryYearLabel, Lbl, "Frame6", "año", {2400, 7080, 855, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Text46, expiryYearBox, Box, "Frame6", "", {2400, 7320, 855, 375}, kBoxBack, kBlack, kBoxFont, L, 19,
                "Label19"),
        CONTROL(Label25, pointsLabel, Lbl, "Frame6", "puntos", {3600, 7080, 1095, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Text2, pointsBox, Box, "Frame6", "", {3600, 7320, 1935, 615}, kBoxBack, kBlack, kLargeBoxFont, C, 20,
                "Label25"),
        CONTROL(Label8, notesLabel, Lbl, "Frame6", "Observaciones", {240, 7800, 2055, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Text47, notesBox, Box, "Frame6", "", {240, 8040, 5295, 855}, kBoxBack, kBlack, kBoxFont, L, 21,
                "Label8"),

        // Working boxes of the design: hidden at start-up, they hold nothing
        CONTROL(Text52, cardEntryBox, Box, "Frame6", "CÓDIGO", {1200, 9360, 3615, 855}, kBoxBack, {}, kEntryFont, C,
                22),
        CONTROL(Text3, spareBirthDateBox, Box, "Frame6", "Text3", {2160, 2640, 1215, 375}, {}, {}, kWindowFont, L, 38),
        CONTROL(Text5, spareCardBox, Box, "Frame6", "Text5", {4680, 6600, 855, 375}, {}, {}, kWindowFont, L, 50),
        CONTROL(Text6, spareDateBox, Box, "Frame6", "Text6", {3480, 2640, 1215, 375}, {}, {}, kWindowFont, L, 41),
        CONTROL(Text7, spareFlagBox, Box, "Frame6", "Text7", {4800, 2640, 735, 375}, {}, {}, kWindowFont, L, 42),
        CONTROL(Data1, dataControl, ControlKind::DataControl, "Frame6", "Data1", {4320, 5760, 1335, 735}, {}, {},
                kWindowFont),
        CONTROL(Label2, blankFooterLabel, Lbl, "Frame6", "", {240, 9480, 1215, 255}, {}, {}, kWindowFont),

        // "Acciones": operation buttons, finishing buttons, the points amount box, the logo
        CONTROL(Command1, queryButton, Btn, "Frame5", "Consulta", {240, 240, 2295, 375}, 0xFF80FF, {}, kButtonFont, C,
                3),
        CONTROL(Command5, newMemberButton, Btn, "Frame5", "Alta", {240, 720, 2295, 375}, 0x00FF00, {}, kButtonFont, C,
                4),
        CONTROL(Text8, amountBox, Box, "Frame5", "", {120, 5160, 2535, 735}, 0x00FFFF, kBlack, kLargeBoxFont, C, 59),
        CONTROL(command2, saveNewMemberButton, Btn, "Frame5", "salvar", {120, 6000, 2535, 735}, 0x00C000, {},
                kButtonFont, C, 47),
        CONTROL(Command10, saveEditedMemberButton, Btn, "Frame5", "Salvar registro", {120, 6000, 2535, 735}, 0x00C000,
                {}, kButtonFont, C, 71),
        CONTROL(Command4, addAmountButton, Btn, "Frame5", "añadir puntos", {120, 6000, 2535, 735}, 0x00C000, {},
                kButtonFont, C, 1),
        CONTROL(Command9, leaveNewMemberButton, Btn, "Frame5", "salir sin salvar", {120, 6840, 2535, 615}, 0xFF0000, {},
                kButtonFont, C, 2),
        CONTROL(Command11, leaveEditButton, Btn, "Frame5", "Salir sin salvar", {120, 6840, 2535, 615}, 0xFF0000, {},
                kButtonFont, C, 72),
        CONTROL(Command7, leavePointsButton, Btn, "Frame5", "salir sin añadir", {120, 6840, 2535, 615}, 0xFF0000, {},
                kButtonFont, C, 58),
        CONTROL(Command8, resetPointsButton, Btn, "Frame5", "reset puntos", {120, 7560, 2535, 495}, 0xFF0000, {},
                kButtonFont, C, 10),
        CONTROL(Image1, logo, ControlKind::Image, "Frame5", "", {1680, 8880, 945, 525}, {}, {}, kWindowFont),
        CONTROL(Text9, spareActionsBox, Box, "Frame5", "Text9", {120, 9600, 1215, 375}, {}, {}, kWindowFont),

        // Message labels of "información"; the footnote lies above the large labels that reach down to it
        CONTROL(Label29, chooseOperationNote, Lbl, "Frame1", "elegir proceso", {120, 360, 2295, 2175}, kMessageBack,
                kMessageText, kMessageFont),
        CONTROL(Label36, enterCardNote, Lbl, "Frame1", "Introducir número de tarjeta (cuatro cifras)",
                {120, 360, 2295, 2175}, kMessageBack, kMessageText, kMessageFont),
        CONTROL(Label35, noSuchCardNote, Lbl, "Frame1",
                "no existe este número de tarjeta porfavor entre un nuevo valor", {120, 360, 2175, 1935}, kMessageBack,
                kMessageText, kMessageFont),
        CONTROL(Label14, numberTakenNote, Lbl, "Frame1",
                "Este número de tarjeta ya existe, porfavor elegir otro número.", {120, 360, 2175, 2055}, kMessageBack,
                kMessageText, kMessageFont),
        CONTROL(Label17, fillInDataNote, Lbl, "Frame1", "porfavor rellenar datos", {120, 360, 2295, 2535}, kMessageBack,
                kMessageText, kMessageFont),
        CONTROL(Label37, changeDataNote, Lbl, "Frame1", "Modificar lo que interese", {120, 360, 2295, 2175},
                kMessageBack, kMessageText, kMessageFont),
        CONTROL(Label5, dateErrorNote, Lbl, "Frame1", "Error de fechas", {120, 360, 2295, 855}, {}, kMessageText,
                kMessageFont),
        CONTROL(Label28, enterPointsNote, Lbl, "Frame1", "anotar puntos", {120, 360, 2295, 2175}, kMessageBack,
                kMessageText, kMessageFont, C),
        CONTROL(Label12, enterMemberNumberNote, Lbl, "Frame1", "Introducir el número de socio",
                {120, -2760, 2295, 2295}, kMessageBack, kMessageText, kMessageFont),
        CONTROL(Label18, leaveWithStarNote, Lbl, "Frame1", "para salir entrar *", {120, 2520, 2295, 255}, kMessageBack,
                {}, kSmallComicFont),

        // Operation buttons that are not part of "Acciones" but lie above it
        CONTROL(Command6, addPointsButton, Btn, nullptr, "Añadir Puntos", {360, 1200, 2295, 375}, 0xFF8080, {},
                kButtonFont, C, 57),
        CONTROL(Command3, editMemberButton, Btn, nullptr, "Modificar", {360, 1680, 2295, 375}, 0xFF8080, {},
                kButtonFont, C, 70),

        // Birthday list
        CONTROL(Label34, birthdayListHeading, Lbl, nullptr, " dias restantes a la fecha de cumpleaños",
                {9000, 120, 4095, 255}, 0x000000, 0xFFFFFF, kWindowFont, C),
        CONTROL(Label30, birthdayNameHeading, Lbl, nullptr, "nombre", {9000, 360, 1215, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Label31, birthdaySurnameHeading, Lbl, nullptr, "apellidos", {10320, 360, 1335, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Label32, birthdayCardHeading, Lbl, nullptr, "nº tarjeta", {11760, 360, 735, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(Label33, birthdayDaysHeading, Lbl, nullptr, "dias", {12600, 360, 495, 255}, kFieldLabelBack,
                kFieldLabelText, kWindowFont),
        CONTROL(List1, birthdayList, ControlKind::ListBox, nullptr, "", {9000, 600, 4095, 8835}, 0xE0E0E0, {},
                kWindowFont, L, 62),
    };
    return entries;
}
