#include "window/Control.h"

#include "window/Form1.h"

void Control::init(Form1* form, const ControlDesign* design)
{
    m_form = form;
    m_design = design;
    m_text = QString::fromUtf8(design->kind == ControlKind::TextBox ? design->caption : "");
    m_backColor = design->background;
}

void Control::setText(const QString& text)
{
    if (m_text == text)
        return;
    m_text = text;
    m_form->notify(*this, Form1::Property::Text);
}

void Control::setVisible(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    m_form->notify(*this, Form1::Property::Visible);
    m_form->loseFocusIfUnusable(*this);
}

void Control::setEnabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    m_form->notify(*this, Form1::Property::Enabled);
    m_form->loseFocusIfUnusable(*this);
}

void Control::setBackColor(Rgb colour)
{
    if (m_backColor == colour)
        return;
    m_backColor = colour;
    m_form->notify(*this, Form1::Property::BackColor);
}

void Control::setFocus()
{
    m_form->giveFocus(*this);
}

bool Control::hasFocus() const
{
    return m_form->focusedControl() == this;
}

void Control::clear()
{
    if (m_items.isEmpty())
        return;
    m_items.clear();
    m_form->notify(*this, Form1::Property::Items);
}

void Control::addItems(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    m_items += lines;
    m_form->notify(*this, Form1::Property::Items);
}

void Control::click()
{
    if (m_visible && m_enabled && m_onClick)
        m_onClick();
}

void Control::keyPress(int& keyCode)
{
    if (m_onKeyPress)
        m_onKeyPress(keyCode);
}
