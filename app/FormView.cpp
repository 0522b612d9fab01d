#include "app/FormView.h"

#include "app/Appearance.h"
#include "app/Logo.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTextOption>

#include <algorithm>
#include <limits>

namespace {

// Regular tab stops for the birthday list, chosen so that its TAB-separated columns start under the headings
// "apellidos", "nº tarjeta" and "dias" (88, 184 and 240 pixels from the list's left edge).
constexpr qreal kListTabStopPixels = 47;

// Lines of the disabled birthday list: greyed, yet readable on its grey background.
const QColor kDisabledListText(0x60, 0x60, 0x60);

// Text of disabled boxes: they still show a member, so it must stay easy to read.
const QColor kDisabledBoxText(0x30, 0x30, 0x30);

class TabStopDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const QString text = item.text;
        item.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

        QTextOption layout;
        layout.setTabStopDistance(kListTabStopPixels);
        layout.setWrapMode(QTextOption::NoWrap);
        layout.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        const QPalette::ColorGroup group =
            (option.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        painter->setFont(item.font);
        painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
        painter->drawText(textRect, text, layout);
        painter->restore();
    }
};

void setAllGroups(QPalette& palette, QPalette::ColorRole role, const QColor& colour)
{
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, role, colour);
}

} // namespace

FormView::FormView(Form1& form, QWidget* parent) : QWidget(parent), m_form(form)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Socios"));
    setWindowIcon(QIcon(drawLogo(QSize(64, 40))));
    setFixedSize(twipsToPixels(Form1::kClientWidth), twipsToPixels(Form1::kClientHeight));
    QPalette palette = this->palette();
    setAllGroups(palette, QPalette::Window, toColor(Form1::kBackground));
    setPalette(palette);
    setAutoFillBackground(true);
    setFont(designFont(Form1::kDefaultFont));

    for (Control* control : m_form.controls()) {
        const char* container = control->design().container;
        QWidget* parentWidget = container ? m_widgets.value(m_form.find(QLatin1String(container))) : this;
        Q_ASSERT_X(parentWidget, "FormView", "a container must come before what it contains");
        QWidget* widget = createWidget(*control, parentWidget);
        m_widgets.insert(control, widget);
        m_controls.insert(widget, control);
        for (Form1::Property property : {Form1::Property::Text, Form1::Property::Visible, Form1::Property::Enabled,
                                         Form1::Property::BackColor, Form1::Property::Items})
            mirror(*control, property);
    }
    setTabOrder();

    connect(&m_form, &Form1::changed, this, &FormView::mirror);
    connect(&m_form, &Form1::focusGiven, this, [this](Control& control) {
        if (QWidget* widget = widgetFor(control))
            widget->setFocus(Qt::OtherFocusReason);
    });
    m_focusTracking = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (Control* control = m_controls.value(now))
            m_form.noteFocus(control);
    });
}

FormView::~FormView()
{
    // Closing the window moves the focus while the widgets are being destroyed; the model no longer cares.
    disconnect(m_focusTracking);
}

QWidget* FormView::createWidget(Control& control, QWidget* parent)
{
    const ControlDesign& design = control.design();
    const QString caption = QString::fromUtf8(design.caption);
    const Qt::Alignment horizontal = design.alignment == Alignment::Center ? Qt::AlignHCenter : Qt::AlignLeft;
    QWidget* widget = nullptr;

    switch (design.kind) {
    case ControlKind::Frame:
        widget = new QGroupBox(caption, parent);
        break;
    case ControlKind::TextBox: {
        auto* edit = new QLineEdit(parent);
        edit->setAlignment(horizontal | Qt::AlignVCenter);
        // Free-text fields take whatever the operator types or pastes, however long.
        edit->setMaxLength(std::numeric_limits<int>::max());
        connect(edit, &QLineEdit::textEdited, this, [&control](const QString& text) { control.setText(text); });
        edit->installEventFilter(this);
        if (design.label)
            edit->setAccessibleName(QString::fromUtf8(m_form.find(QLatin1String(design.label))->design().caption));
        widget = edit;
        break;
    }
    case ControlKind::Label: {
        auto* label = new QLabel(caption, parent);
        label->setWordWrap(true);
        label->setAlignment(horizontal | Qt::AlignTop);
        widget = label;
        break;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(caption, parent);
        connect(button, &QPushButton::clicked, this, [&control] { control.click(); });
        button->installEventFilter(this);
        widget = button;
        break;
    }
    case ControlKind::ListBox: {
        auto* list = new QListWidget(parent);
        list->setItemDelegate(new TabStopDelegate(list));
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setAccessibleName(QString::fromUtf8(m_form.Label34.design().caption).trimmed());
        widget = list;
        break;
    }
    case ControlKind::Image: {
        auto* image = new QLabel(parent);
        image->setPixmap(drawLogo(QSize(twipsToPixels(design.geometry.width), twipsToPixels(design.geometry.height))));
        image->setAccessibleName(QStringLiteral("logotipo"));
        widget = image;
        break;
    }
    case ControlKind::DataControl: {
        auto* data = new QLabel(caption, parent);
        data->setFrameStyle(QFrame::Panel | QFrame::Raised);
        data->setAlignment(Qt::AlignCenter);
        widget = data;
        break;
    }
    }

    widget->setObjectName(control.name());
    widget->setFont(designFont(design.font));
    widget->setGeometry(twipsToPixels(design.geometry.left), twipsToPixels(design.geometry.top),
                        twipsToPixels(design.geometry.width), twipsToPixels(design.geometry.height));

    QPalette palette = widget->palette();
    if (design.foreground) {
        const QPalette::ColorRole role = design.kind == ControlKind::Button    ? QPalette::ButtonText
                                         : design.kind == ControlKind::TextBox ? QPalette::Text
                                                                               : QPalette::WindowText;
        palette.setColor(QPalette::Active, role, toColor(*design.foreground));
        palette.setColor(QPalette::Inactive, role, toColor(*design.foreground));
    }
    if (design.kind == ControlKind::TextBox)
        palette.setColor(QPalette::Disabled, QPalette::Text, kDisabledBoxText);
    if (design.kind == ControlKind::ListBox)
        palette.setColor(QPalette::Disabled, QPalette::Text, kDisabledListText);
    widget->setPalette(palette);
    applyBackColor(control, widget);
    return widget;
}

void FormView::applyBackColor(Control& control, QWidget* widget)
{
    QPalette palette = widget->palette();
    const std::optional<Rgb> colour = control.backColor();
    switch (control.design().kind) {
    case ControlKind::TextBox:
    case ControlKind::ListBox:
        // Boxes keep their colour while disabled: a member shown read-only still shows its red empty fields.
        if (colour)
            setAllGroups(palette, QPalette::Base, toColor(*colour));
        break;
    case ControlKind::Button:
        if (colour)
            setAllGroups(palette, QPalette::Button, toColor(*colour));
        break;
    case ControlKind::Frame:
    case ControlKind::Label:
    case ControlKind::DataControl:
        // An opaque label of no particular colour shows the button face, as a label does by default.
        setAllGroups(palette, QPalette::Window, colour ? toColor(*colour) : palette.color(QPalette::Button));
        widget->setAutoFillBackground(true);
        break;
    case ControlKind::Image:
        break;
    }
    widget->setPalette(palette);
}

void FormView::mirror(Control& control, Form1::Property property)
{
    QWidget* widget = widgetFor(control);
    if (!widget)
        return;
    switch (property) {
    case Form1::Property::Text:
        if (auto* edit = qobject_cast<QLineEdit*>(widget); edit && edit->text() != control.text())
            edit->setText(control.text());
        break;
    case Form1::Property::Visible:
        widget->setVisible(control.isVisible());
        break;
    case Form1::Property::Enabled:
        widget->setEnabled(control.isEnabled());
        break;
    case Form1::Property::BackColor:
        applyBackColor(control, widget);
        break;
    case Form1::Property::Items:
        if (auto* list = qobject_cast<QListWidget*>(widget)) {
            list->clear();
            list->addItems(control.items());
        }
        break;
    }
}

void FormView::setTabOrder()
{
    std::vector<Control*> focusable;
    for (Control* control : m_form.controls())
        if (control->design().tabIndex >= 0)
            focusable.push_back(control);
    std::sort(focusable.begin(), focusable.end(),
              [](const Control* a, const Control* b) { return a->design().tabIndex < b->design().tabIndex; });
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(widgetFor(*focusable[i - 1]), widgetFor(*focusable[i]));
}

bool FormView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    Control* control = m_controls.value(watched);
    if (!control)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;

    if (control->design().kind == ControlKind::Button) {
        // A focused button is pressed by Enter as well as by Space.
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            static_cast<QPushButton*>(watched)->click();
            return true;
        }
        return false;
    }

    // Text boxes: the model hears every typed character before the box handles it; the key is never consumed.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false;
    int keyAscii = enter ? 13 : (key->text().isEmpty() ? -1 : int(key->text().toUcs4().value(0)));
    if (keyAscii >= 0)
        control->keyPress(keyAscii);
    return false;
}
