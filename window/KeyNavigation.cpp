// Enter-key navigation of Form1: a whole member is typed without the mouse, and an amount of points is added
// with Enter, Enter.

#include "window/Form1.h"

namespace {

struct EnterTarget
{
    Control Form1::*box;
    Control Form1::*target;
};

// The fifteen member boxes form one closed ring in screen order; cardNumberBox is not typed into and stays out of
// it. amountBox leads out to the button that adds the amount.
constexpr EnterTarget kEnterTargets[] = {
    {&Form1::nameBox, &Form1::surnameBox},
    {&Form1::surnameBox, &Form1::birthDayBox},
    {&Form1::birthDayBox, &Form1::birthMonthBox},
    {&Form1::birthMonthBox, &Form1::birthYearBox},
    {&Form1::birthYearBox, &Form1::streetBox},
    {&Form1::streetBox, &Form1::postcodeBox},
    {&Form1::postcodeBox, &Form1::cityBox},
    {&Form1::cityBox, &Form1::phoneBox},
    {&Form1::phoneBox, &Form1::emailBox},
    {&Form1::emailBox, &Form1::memberNumberBox},
    {&Form1::memberNumberBox, &Form1::expiryMonthBox},
    {&Form1::expiryMonthBox, &Form1::expiryYearBox},
    {&Form1::expiryYearBox, &Form1::pointsBox},
    {&Form1::pointsBox, &Form1::notesBox},
    {&Form1::notesBox, &Form1::nameBox}, // the ring has no end
    {&Form1::amountBox, &Form1::addAmountButton},
};

constexpr int kEnter = 13;

} // namespace

void Form1::connectKeyPressHandlers()
{
    for (const EnterTarget& entry : kEnterTargets) {
        Control& box = this->*entry.box;
        box.setKeyPressHandler([this, &box](int& keyCode) { moveFocusOnEnter(box, keyCode); });
    }
}

// The target is not checked: the operations enable the whole ring together, and show addAmountButton whenever they
// show amountBox, so a box that can take typing always leads to a control that can take the focus.
void Form1::moveFocusOnEnter(Control& box, int keyCode)
{
    if (keyCode != kEnter)
        return;
    for (const EnterTarget& entry : kEnterTargets)
        if (&(this->*entry.box) == &box) {
            (this->*entry.target).setFocus();
            return;
        }
}
