#pragma once

#include <QWidget>

#include <functional>

// A clear mark on the control that has the keyboard focus: a thick dark ring drawn inside the control's own
// rectangle, over its face, so that the control keeps its colours and its neighbours stay uncovered. It follows
// the application's focus, is shown from the start (not only once Tab has been used) and only on the widgets
// that `marks` accepts; while the focus is elsewhere (a dialog) no mark is shown. Between marks it rests,
// hidden, in `home`, which must outlive every marked widget.
class FocusMark : public QWidget
{
    Q_OBJECT

public:
    FocusMark(std::function<bool(const QWidget*)> marks, QWidget* home);

    // Outer dark ring and inner light line, in pixels.
    static constexpr int kRingWidth = 3;
    static constexpr int kInnerWidth = 1;
    static const QColor kRingColour;
    static const QColor kInnerColour;

    // The widget now marked, if any.
    QWidget* marked() const { return m_marked; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void follow(QWidget* now);

    std::function<bool(const QWidget*)> m_marks;
    QWidget* m_home;
    QWidget* m_marked = nullptr;
};
