#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

class Form1;

// A colour as 0xRRGGBB.
using Rgb = std::uint32_t;

enum class ControlKind { Frame, TextBox, Label, Button, ListBox, Image, DataControl };

enum class Alignment { Left, Center };

// Place and size in twips (1440 per inch, 15 per pixel at 96 dpi), relative to the container's top-left corner.
struct Twips
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct FontDesign
{
    const char* family = nullptr; // nullptr: the window's default font
    double points = 0;
    bool bold = false;
};

// The design of one control: what exists before start-up changes anything.
struct ControlDesign
{
    const char* name; // the name in the window's design: the widget's object name, fixed
    const char* role; // what the control is: the name of its member of Form1
    ControlKind kind;
    const char* container; // nullptr: the window itself
    const char* caption;   // caption of frames, labels and buttons; design text of text boxes
    Twips geometry;
    std::optional<Rgb> background; // nullopt: the toolkit's usual colour for the kind
    std::optional<Rgb> foreground;
    FontDesign font;
    Alignment alignment = Alignment::Left;
    int tabIndex = -1;           // -1: takes no focus
    const char* label = nullptr; // member boxes: the label that names the box
};

// One control of the window at run time. Setting a property to the value it already has changes nothing and
// notifies nobody.
class Control
{
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const ControlDesign& design() const { return *m_design; }
    // The design name (`Text25`), which the widget carries as its object name.
    QString name() const { return QLatin1String(m_design->name); }
    // What the control is (`nameBox`), as code names it.
    QString role() const { return QLatin1String(m_design->role); }

    const QString& text() const { return m_text; }
    void setText(const QString& text);

    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    std::optional<Rgb> backColor() const { return m_backColor; }
    void setBackColor(Rgb colour);

    // Gives this control the focus. Asking it for a hidden or disabled control is an error: the focus stays
    // where it was and the window counts the error.
    void setFocus();
    bool hasFocus() const;

    // List boxes.
    void clear();
    // Adds the lines at the end, in order, with one notification.
    void addItems(const QStringList& lines);
    const QStringList& items() const { return m_items; }

    // Events, raised by the toolkit (or a test standing in for the operator).
    // A click reaches the handler only while the button is visible and enabled.
    void click();
    // The character code of a key typed into a text box, before the box handles it.
    void keyPress(int& keyCode);

    void setClickHandler(std::function<void()> handler) { m_onClick = std::move(handler); }
    void setKeyPressHandler(std::function<void(int&)> handler) { m_onKeyPress = std::move(handler); }

private:
    friend class Form1;
    void init(Form1* form, const ControlDesign* design);

    Form1* m_form = nullptr;
    const ControlDesign* m_design = nullptr;
    QString m_text;
    bool m_visible = true;
    bool m_enabled = true;
    std::optional<Rgb> m_backColor;
    QStringList m_items;
    std::function<void()> m_onClick;
    std::function<void(int&)> m_onKeyPress;
};
