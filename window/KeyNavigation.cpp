// Enter-key navigation of Form1: a whole member is typed without the mouse, and an amount of points is added
// with Enter, Enter.

#include "window/Form1.h"

namespace {

struct EnterTarget
{
    Control Form1::*box;
    Control Form1::*target;
    void (Form1::*handler)(int& KeyAscii);
};

// The fifteen member boxes form one closed ring in screen order; the card number box Text4 is not typed into
// and stays out of it. Text8 leads out to the button that adds the amount.
constexpr EnterTarget kEnterTargets[] = {
    {&Form1::Text25, &Form1::Text26, &Form1::Text25_KeyPress}, // nombre -> apellidos
    {&Form1::Text26, &Form1::Text28, &Form1::Text26_KeyPress}, // apellidos -> birth day
    {&Form1::Text28, &Form1::Text29, &Form1::Text28_KeyPress}, // birth day -> birth month
    {&Form1::Text29, &Form1::Text30, &Form1::Text29_KeyPress}, // birth month -> birth year
    {&Form1::Text30, &Form1::Text34, &Form1::Text30_KeyPress}, // birth year -> calle
    {&Form1::Text34, &Form1::Text35, &Form1::Text34_KeyPress}, // calle -> cp
    {&Form1::Text35, &Form1::Text36, &Form1::Text35_KeyPress}, // cp -> ciudad
    {&Form1::Text36, &Form1::Text38, &Form1::Text36_KeyPress}, // ciudad -> telefono
    {&Form1::Text38, &Form1::Text40, &Form1::Text38_KeyPress}, // telefono -> email
    {&Form1::Text40, &Form1::Text1, &Form1::Text40_KeyPress},  // email -> nsocio
    {&Form1::Text1, &Form1::Text45, &Form1::Text1_KeyPress},   // nsocio -> expiry month
    {&Form1::Text45, &Form1::Text46, &Form1::Text45_KeyPress}, // expiry month -> expiry year
    {&Form1::Text46, &Form1::Text2, &Form1::Text46_KeyPress},  // expiry year -> puntos
    {&Form1::Text2, &Form1::Text47, &Form1::Text2_KeyPress},   // puntos -> observaciones
    {&Form1::Text47, &Form1::Text25, &Form1::Text47_KeyPress}, // observaciones -> nombre: the ring has no end
    {&Form1::Text8, &Form1::Command4, &Form1::Text8_KeyPress}, // amount -> "añadir puntos"
};

constexpr int kEnter = 13;

} // namespace

void Form1::connectKeyPressHandlers()
{
    for (const EnterTarget& entry : kEnterTargets)
        (this->*entry.box).setKeyPressHandler([this, handler = entry.handler](int& KeyAscii) {
            (this->*handler)(KeyAscii);
        });
}

// The target is not checked: the operations enable the whole ring together, and show Command4 whenever they
// show Text8, so a box that can take typing always leads to a control that can take the focus.
void Form1::enterMovesFocus(Control& box, int keyAscii)
{
    if (keyAscii != kEnter)
        return;
    for (const EnterTarget& entry : kEnterTargets)
        if (&(this->*entry.box) == &box) {
            (this->*entry.target).setFocus();
            return;
        }
}

void Form1::Text25_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text25, KeyAscii);
}

void Form1::Text26_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text26, KeyAscii);
}

void Form1::Text28_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text28, KeyAscii);
}

void Form1::Text29_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text29, KeyAscii);
}

void Form1::Text30_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text30, KeyAscii);
}

void Form1::Text34_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text34, KeyAscii);
}

void Form1::Text35_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text35, KeyAscii);
}

void Form1::Text36_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text36, KeyAscii);
}

void Form1::Text38_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text38, KeyAscii);
}

void Form1::Text40_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text40, KeyAscii);
}

void Form1::Text1_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text1, KeyAscii);
}

void Form1::Text45_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text45, KeyAscii);
}

void Form1::Text46_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text46, KeyAscii);
}

void Form1::Text2_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text2, KeyAscii);
}

void Form1::Text47_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text47, KeyAscii);
}

void Form1::Text8_KeyPress(int& KeyAscii)
{
    enterMovesFocus(Text8, KeyAscii);
}
