#pragma once

#include "window/Form1.h"

#include <QHash>
#include <QWidget>

// The one place where Qt widgets meet the window model: a widget per control, named after it, placed by its
// design, and kept equal to the model's Text, Visible, Enabled, BackColor, list lines and focus. Clicks and key
// presses travel the other way, as the model's events.
class FormView : public QWidget
{
    Q_OBJECT

public:
    explicit FormView(Form1& form, QWidget* parent = nullptr);
    ~FormView() override;

    QWidget* widgetFor(const Control& control) const { return m_widgets.value(&control); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createWidget(Control& control, QWidget* parent);
    void mirror(Control& control, Form1::Property property);
    void applyBackColor(Control& control, QWidget* widget);
    void setTabOrder();

    Form1& m_form;
    QHash<const Control*, QWidget*> m_widgets;
    QHash<const QObject*, Control*> m_controls;
    QMetaObject::Connection m_focusTracking;
};
