#pragma once

#include "window/Form1.h"

#include <QHash>
#include <QScrollArea>

class FocusMark;

// The one place where Qt widgets meet the window model: a widget per control, named after it, placed by its
// design, and kept equal to the model's Text, Visible, Enabled, BackColor, list lines and focus. Clicks and key
// presses travel the other way, as the model's events.
// The window is the form's surface ("Form1", of the design's fixed size) inside a scroll area: on a screen that
// holds the whole form the window has exactly its size and no scroll bars. On a smaller screen the whole form is
// drawn smaller, its geometry and its fonts together, down to kMinScale (what a screen of 800 x 600 with a window
// frame and a panel needs); only a screen smaller still makes it scroll.
class FormView : public QScrollArea
{
    Q_OBJECT

public:
    explicit FormView(Form1& form, QWidget* parent = nullptr);
    ~FormView() override;

    QWidget* widgetFor(const Control& control) const { return m_widgets.value(&control); }

    // The surface that holds the controls at their design places.
    QWidget* surface() const { return m_surface; }

    // How much smaller than its design the form is drawn (1: at its design size).
    double scale() const { return m_scale; }
    static constexpr double kMinScale = 0.75;

    // Where the member boxes are on the screen (global coordinates), as far as the window shows them.
    QList<QRect> memberBoxesOnScreen() const;

    // A text box shows at most this many characters of its text. A longer text is shown cut, with a note that
    // says so, and cannot be typed into, so that what the box holds in the window model stays whole. Past this
    // length Qt's text layout costs tens of milliseconds per box and megabytes per field (see
    // docs/performance.md); no typed field comes near it.
    static constexpr qsizetype kShownChars = 10000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* createWidget(Control& control, QWidget* parent);
    void mirror(Control& control, Form1::Property property);
    void applyBackColor(Control& control, QWidget* widget);
    void setTabOrder();
    // Places and sizes every control, and sets its font, at the present scale.
    void layOut();
    // The window's size for its screen: the whole surface where it fits, else the screen's free area.
    void fitToScreen();

    Form1& m_form;
    QWidget* m_surface;
    double m_scale = 1.0;
    QHash<const Control*, QWidget*> m_widgets;
    QHash<const QObject*, Control*> m_controls;
    FocusMark* m_focusMark = nullptr;
    QMetaObject::Connection m_focusTracking;
    QMetaObject::Connection m_screenTracking;
};
