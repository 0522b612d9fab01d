// The design of Form1: every control with its container, caption, place (twips), colours, font and tab index.

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

#define CONTROL(member, ...)                                                                                           \
    {                                                                                                                  \
        &Form1::member,                                                                                                \
        {                                                                                                              \
#member, __VA_ARGS__                                                                                       \
        }                                                                                                              \
    }

} // namespace

// Containers come before what they contain; within one container, later controls lie above earlier ones.
const std::vector<CatalogueEntry>& formCatalogue()
{
    static const std::vector<CatalogueEntry> entries = {
        // Covered by "Acciones": listed first so that the frame lies above it.
        CONTROL(Label7, Lbl, nullptr, "día", {1200, 5520, 495, 255}, {}, {}, kWindowFont),

        CONTROL(Frame5, Frame, nullptr, "Acciones", {120, 0, 2775, 9495}, 0xFFFF00, {}, kWindowFont),
        CONTROL(Frame1, Frame, "Frame5", "información", {120, 2160, 2535, 2895}, 0xFFFFFF, {}, kWindowFont),
        CONTROL(Frame6, Frame, nullptr, "Personales", {3000, 120, 5895, 9375}, 0xC0C0C0, {}, kWindowFont),

        // Member boxes and their labels
        CONTROL(Label4, Lbl, "Frame6", "nombre", {240, 480, 1815, 255}, kFieldLabelBack, kFieldLabelText, kWindowFont),
        CONTROL(Text25, Box, "Frame6", "", {240, 720, 5295, 375}, kBoxBack, kBlack, kBoxFont, L, 6, "Label4"),
        CONTROL(Label6, Lbl, "Frame6", "apellidos", {240, 1080, 1815, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text26, Box, "Frame6", "", {240, 1320, 5295, 375}, kBoxBack, kBlack, kBoxFont, L, 7, "Label6"),
        CONTROL(Label22, Lbl, "Frame6", "fecha nacimiento", {240, 2160, 1455, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Label21, Lbl, "Frame6", "día", {1800, 1920, 495, 255}, kFieldLabelBack, kFieldLabelText, kWindowFont),
        CONTROL(Text28, Box, "Frame6", "", {1800, 2160, 495, 375}, kBoxBack, kBlack, kBoxFont, C, 8, "Label21"),
        CONTROL(Label23, Lbl, "Frame6", "mes", {2400, 1920, 495, 255}, kFieldLabelBack, kFieldLabelText, kWindowFont),
        CONTROL(Text29, Box, "Frame6", "", {2400, 2160, 495, 375}, kBoxBack, kBlack, kBoxFont, C, 9, "Label23"),
        CONTROL(Label26, Lbl, "Frame6", "año", {3000, 1920, 855, 255}, kFieldLabelBack, kFieldLabelText, kWindowFont),
        CONTROL(Text30, Box, "Frame6", "", {3000, 2160, 855, 375}, kBoxBack, kBlack, kBoxFont, C, 11, "Label26"),
        CONTROL(cumple, Lbl, "Frame6", "atención felicitar cumpleaños", {4080, 2160, 1575, 375}, {}, 0xFF0000,
                kWindowFont),
        CONTROL(Label24, Lbl, "Frame6", "domicilio", {240, 2640, 855, 255}, 0x0000C0, 0xFFFFFF, kSmallComicFont),
        CONTROL(Label9, Lbl, "Frame6", "calle o plaza/número", {240, 3000, 1815, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text34, Box, "Frame6", "", {240, 3240, 5295, 375}, kBoxBack, kBlack, kBoxFont, L, 12, "Label9"),
        CONTROL(Label10, Lbl, "Frame6", "c.postal", {240, 3600, 855, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text35, Box, "Frame6", "", {240, 3840, 855, 375}, kBoxBack, kBlack, kBoxFont, L, 13, "Label10"),
        CONTROL(Label11, Lbl, "Frame6", "ciudad", {1200, 3600, 855, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text36, Box, "Frame6", "", {1200, 3840, 4335, 375}, kBoxBack, kBlack, kBoxFont, L, 14, "Label11"),
        CONTROL(Label13, Lbl, "Frame6", "teléfono", {240, 4440, 1815, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text38, Box, "Frame6", "", {240, 4680, 5295, 375}, kBoxBack, kBlack, kBoxFont, L, 15, "Label13"),
        CONTROL(Label15, Lbl, "Frame6", "email", {240, 5040, 1815, 255}, kFieldLabelBack, kFieldLabelText, kWindowFont),
        CONTROL(Text40, Box, "Frame6", "", {240, 5280, 5295, 375}, kBoxBack, kBlack, kBoxFont, L, 16, "Label15"),
        CONTROL(Label1, Lbl, "Frame6", "datos de gestión", {240, 5880, 3135, 255}, 0x0000C0, 0xFFFFFF, kWindowFont),
        CONTROL(Label3, Lbl, "Frame6", "número de socio", {240, 6360, 1815, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text1, Box, "Frame6", "", {240, 6600, 1815, 375}, kBoxBack, kBlack, kBoxFont, L, 17, "Label3"),
        CONTROL(Label27, Lbl, "Frame6", "número de tarjeta", {2280, 6360, 1815, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text4, Box, "Frame6", "", {2280, 6600, 1815, 375}, kBoxBack, kBlack, kBoxFont, L, 55, "Label27"),
        CONTROL(Label20, Lbl, "Frame6", "fecha caducidad", {240, 7320, 1455, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Label16, Lbl, "Frame6", "mes", {1800, 7080, 495, 255}, kFieldLabelBack, kFieldLabelText, kWindowFont),
        CONTROL(Text45, Box, "Frame6", "", {1800, 7320, 495, 375}, kBoxBack, kBlack, kBoxFont, L, 18, "Label16"),
        CONTROL(Label19, Lbl, "Frame6", "año", {2400, 7080, 855, 255}, kFieldLabelBack, kFieldLabelText, kWindowFont),
        CONTROL(Text46, Box, "Frame6", "", {2400, 7320, 855, 375}, kBoxBack, kBlack, kBoxFont, L, 19, "Label19"),
        CONTROL(Label25, Lbl, "Frame6", "puntos", {3600, 7080, 1095, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text2, Box, "Frame6", "", {3600, 7320, 1935, 615}, kBoxBack, kBlack, kLargeBoxFont, C, 20, "Label25"),
        CONTROL(Label8, Lbl, "Frame6", "Observaciones", {240, 7800, 2055, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Text47, Box, "Frame6", "", {240, 8040, 5295, 855}, kBoxBack, kBlack, kBoxFont, L, 21, "Label8"),

        // Working boxes: scratch storage, never shown after start-up
        CONTROL(Text52, Box, "Frame6", "CÓDIGO", {1200, 9360, 3615, 855}, kBoxBack, {}, kEntryFont, C, 22),
        CONTROL(Text3, Box, "Frame6", "Text3", {2160, 2640, 1215, 375}, {}, {}, kWindowFont, L, 38),
        CONTROL(Text5, Box, "Frame6", "Text5", {4680, 6600, 855, 375}, {}, {}, kWindowFont, L, 50),
        CONTROL(Text6, Box, "Frame6", "Text6", {3480, 2640, 1215, 375}, {}, {}, kWindowFont, L, 41),
        CONTROL(Text7, Box, "Frame6", "Text7", {4800, 2640, 735, 375}, {}, {}, kWindowFont, L, 42),
        CONTROL(Data1, ControlKind::DataControl, "Frame6", "Data1", {4320, 5760, 1335, 735}, {}, {}, kWindowFont),
        CONTROL(Label2, Lbl, "Frame6", "", {240, 9480, 1215, 255}, {}, {}, kWindowFont),

        // "Acciones": operation buttons, finishing buttons, the points amount box, the logo
        CONTROL(Command1, Btn, "Frame5", "Consulta", {240, 240, 2295, 375}, 0xFF80FF, {}, kButtonFont, C, 3),
        CONTROL(Command5, Btn, "Frame5", "Alta", {240, 720, 2295, 375}, 0x00FF00, {}, kButtonFont, C, 4),
        CONTROL(Text8, Box, "Frame5", "", {120, 5160, 2535, 735}, 0x00FFFF, kBlack, kLargeBoxFont, C, 59),
        CONTROL(command2, Btn, "Frame5", "salvar", {120, 6000, 2535, 735}, 0x00C000, {}, kButtonFont, C, 47),
        CONTROL(Command10, Btn, "Frame5", "Salvar registro", {120, 6000, 2535, 735}, 0x00C000, {}, kButtonFont, C, 71),
        CONTROL(Command4, Btn, "Frame5", "añadir puntos", {120, 6000, 2535, 735}, 0x00C000, {}, kButtonFont, C, 1),
        CONTROL(Command9, Btn, "Frame5", "salir sin salvar", {120, 6840, 2535, 615}, 0xFF0000, {}, kButtonFont, C, 2),
        CONTROL(Command11, Btn, "Frame5", "Salir sin salvar", {120, 6840, 2535, 615}, 0xFF0000, {}, kButtonFont, C, 72),
        CONTROL(Command7, Btn, "Frame5", "salir sin añadir", {120, 6840, 2535, 615}, 0xFF0000, {}, kButtonFont, C, 58),
        CONTROL(Command8, Btn, "Frame5", "reset puntos", {120, 7560, 2535, 495}, 0xFF0000, {}, kButtonFont, C, 10),
        CONTROL(Image1, ControlKind::Image, "Frame5", "", {1680, 8880, 945, 525}, {}, {}, kWindowFont),
        CONTROL(Text9, Box, "Frame5", "Text9", {120, 9600, 1215, 375}, {}, {}, kWindowFont),

        // Message labels of "información"; the footnote lies above the large labels that reach down to it
        CONTROL(Label29, Lbl, "Frame1", "elegir proceso", {120, 360, 2295, 2175}, kMessageBack, kMessageText,
                kMessageFont),
        CONTROL(Label36, Lbl, "Frame1", "Introducir número de tarjeta (cuatro cifras)", {120, 360, 2295, 2175},
                kMessageBack, kMessageText, kMessageFont),
        CONTROL(Label35, Lbl, "Frame1", "no existe este número de tarjeta porfavor entre un nuevo valor",
                {120, 360, 2175, 1935}, kMessageBack, kMessageText, kMessageFont),
        CONTROL(Label14, Lbl, "Frame1", "Este número de tarjeta ya existe, porfavor elegir otro número.",
                {120, 360, 2175, 2055}, kMessageBack, kMessageText, kMessageFont),
        CONTROL(Label17, Lbl, "Frame1", "porfavor rellenar datos", {120, 360, 2295, 2535}, kMessageBack, kMessageText,
                kMessageFont),
        CONTROL(Label37, Lbl, "Frame1", "Modificar lo que interese", {120, 360, 2295, 2175}, kMessageBack, kMessageText,
                kMessageFont),
        CONTROL(Label5, Lbl, "Frame1", "Error de fechas", {120, 360, 2295, 855}, {}, kMessageText, kMessageFont),
        CONTROL(Label28, Lbl, "Frame1", "anotar puntos", {120, 360, 2295, 2175}, kMessageBack, kMessageText,
                kMessageFont, C),
        CONTROL(Label12, Lbl, "Frame1", "Introducir el número de socio", {120, -2760, 2295, 2295}, kMessageBack,
                kMessageText, kMessageFont),
        CONTROL(Label18, Lbl, "Frame1", "para salir entrar *", {120, 2520, 2295, 255}, kMessageBack, {},
                kSmallComicFont),

        // Operation buttons that are not part of "Acciones" but lie above it
        CONTROL(Command6, Btn, nullptr, "Añadir Puntos", {360, 1200, 2295, 375}, 0xFF8080, {}, kButtonFont, C, 57),
        CONTROL(Command3, Btn, nullptr, "Modificar", {360, 1680, 2295, 375}, 0xFF8080, {}, kButtonFont, C, 70),

        // Birthday list
        CONTROL(Label34, Lbl, nullptr, " dias restantes a la fecha de cumpleaños", {9000, 120, 4095, 255}, 0x000000,
                0xFFFFFF, kWindowFont, C),
        CONTROL(Label30, Lbl, nullptr, "nombre", {9000, 360, 1215, 255}, kFieldLabelBack, kFieldLabelText, kWindowFont),
        CONTROL(Label31, Lbl, nullptr, "apellidos", {10320, 360, 1335, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Label32, Lbl, nullptr, "nº tarjeta", {11760, 360, 735, 255}, kFieldLabelBack, kFieldLabelText,
                kWindowFont),
        CONTROL(Label33, Lbl, nullptr, "dias", {12600, 360, 495, 255}, kFieldLabelBack, kFieldLabelText, kWindowFont),
        CONTROL(List1, ControlKind::ListBox, nullptr, "", {9000, 600, 4095, 8835}, 0xE0E0E0, {}, kWindowFont, L, 62),
    };
    return entries;
}
