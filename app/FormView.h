#pragma once

#include "window/Form1.h"

#include <QHash>
#include <QScrollArea>

class FocusMark;

// The one place where Qt widgets meet the window model: a widget per control, named after it, placed by its
// design, and kept equal to the model's Text, Visible, Enabled, BackColor, list lines and focus. Clicks and key
// presses travel the other way, as the model's events.
// The window is the form's surface ("Form1", of the design's fixed size) inside a scroll area: on a screen that
// holds the whole form the window has exactly its size and no scroll bars; on a smaller screen it fits the screen
// and scrolls, so that every control can still be reached.
class FormView : public QScrollArea
{
    Q_OBJECT

public:
    explicit FormView(Form1& form, QWidget* parent = nullptr);
    ~FormView() override;

    QWidget* widgetFor(const Control& control) const { return m_widgets.value(&control); }

    // The surface that holds the controls at their design places.
    QWidget* surface() const { return m_surface; }

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
    // The window's size for its screen: the whole surface where it fits, else the screen's free area.
    void fitToScreen();

    Form1& m_form;
    QWidget* m_surface;
    QHash<const Control*, QWidget*> m_widgets;
    QHash<const QObject*, Control*> m_controls;
    FocusMark* m_focusMark = nullptr;
    QMetaObject::Connection m_focusTracking;
    QMetaObject::Connection m_screenTracking;
};
