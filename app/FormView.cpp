#include "app/FormView.h"

#include "app/Appearance.h"
#include "app/BirthdayListDelegate.h"
#include "app/FocusMark.h"
#include "app/Logo.h"
#include "conversions/Characters.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QStringListModel>
#include <QWindow>

#include <algorithm>
#include <limits>

namespace {

// Pixels left empty between two columns of the birthday list.
constexpr int kColumnGap = 3;

// Lines of the birthday list while it is disabled: greyed, yet readable on its grey background.
const QColor kDisabledListText(0x60, 0x60, 0x60);

// Text of disabled boxes: they still show a member, so it must stay easy to read.
const QColor kDisabledBoxText(0x30, 0x30, 0x30);

// What a text box shows of a text too long to show whole (see FormView::kShownChars).
QString cutForShowing(const QString& text)
{
    return leftChars(text, FormView::kShownChars) +
           QStringLiteral("… [texto cortado: %1 caracteres]").arg(QLocale(QLocale::Spanish).toString(charCount(text)));
}

// The birthday list, with room inside its frame for the focus mark, so that the mark never covers a line.
class BirthdayListView : public QListView
{
public:
    explicit BirthdayListView(QWidget* parent) : QListView(parent)
    {
        const int room = std::max(FocusMark::kRingWidth + FocusMark::kInnerWidth - frameWidth(), 0);
        setViewportMargins(room, room, room, room);
        // The room shows the list's own colour.
        setAutoFillBackground(true);
    }
};

void setAllGroups(QPalette& palette, QPalette::ColorRole role, const QColor& colour)
{
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, role, colour);
}

} // namespace

FormView::FormView(Form1& form, QWidget* parent) : QScrollArea(parent), m_form(form), m_surface(new QWidget)
{
    setObjectName(QStringLiteral("Form1Window"));
    setWindowTitle(QStringLiteral("Socios"));
    setWindowIcon(QIcon(drawLogo(QSize(64, 40))));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    // Tab goes from control to control, never to the scroll area itself.
    setFocusPolicy(Qt::NoFocus);

    m_surface->setObjectName(QStringLiteral("Form1"));
    QPalette palette = m_surface->palette();
    setAllGroups(palette, QPalette::Window, toColor(Form1::kBackground));
    m_surface->setPalette(palette);
    m_surface->setAutoFillBackground(true);

    for (Control* control : m_form.controls()) {
        const char* container = control->design().container;
        QWidget* parentWidget = container ? m_widgets.value(m_form.find(QLatin1String(container))) : m_surface;
        Q_ASSERT_X(parentWidget, "FormView", "a container must come before what it contains");
        QWidget* widget = createWidget(*control, parentWidget);
        m_widgets.insert(control, widget);
        m_controls.insert(widget, control);
        for (Form1::Property property : {Form1::Property::Text, Form1::Property::Visible, Form1::Property::Enabled,
                                         Form1::Property::BackColor, Form1::Property::Items})
            mirror(*control, property);
    }
    setTabOrder();
    layOut();
    setWidget(m_surface);
    fitToScreen();

    connect(&m_form, &Form1::changed, this, &FormView::mirror);
    connect(&m_form, &Form1::focusGiven, this, [this](Control& control) {
        if (QWidget* widget = widgetFor(control))
            widget->setFocus(Qt::OtherFocusReason);
    });
    m_focusTracking = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        Control* control = m_controls.value(now);
        if (!control)
            return;
        m_form.noteFocus(control);
        // The whole control, not only its text cursor, is scrolled into view.
        const QRect shown(now->mapTo(m_surface, QPoint(0, 0)), now->size());
        ensureVisible(shown.center().x(), shown.center().y(), shown.width() / 2 + 4, shown.height() / 2 + 4);
    });
    m_focusMark = new FocusMark([this](const QWidget* widget) { return m_controls.contains(widget); }, m_surface);
}

FormView::~FormView()
{
    // Closing the window moves the focus while the widgets are being destroyed; the model no longer cares.
    disconnect(m_focusTracking);
    delete m_focusMark;
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
        widget->setAccessibleName(caption);
        break;
    case ControlKind::TextBox: {
        auto* edit = new QLineEdit(parent);
        edit->setAlignment(horizontal | Qt::AlignVCenter);
        // The text keeps clear of the focus mark drawn inside the box's edge.
        edit->setTextMargins(2, 0, 2, 0);
        // Free-text fields take whatever the operator types or pastes, however long.
        edit->setMaxLength(std::numeric_limits<int>::max());
        connect(edit, &QLineEdit::textEdited, this, [&control](const QString& text) { control.setText(text); });
        edit->installEventFilter(this);
        if (design.label)
            edit->setAccessibleName(QString::fromUtf8(m_form.find(QLatin1String(design.label))->design().caption));
        else if (&control == &m_form.amountBox)
            edit->setAccessibleName(QStringLiteral("puntos que añadir"));
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
        // Its lines all have one height: the view then measures one line instead of each, which matters with
        // tens of thousands of lines.
        auto* list = new BirthdayListView(parent);
        list->setModel(new QStringListModel(list));
        list->setUniformItemSizes(true);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setItemDelegate(new BirthdayListDelegate({}, list));
        // It scrolls by the wheel and its scroll bar, and never takes the keyboard's focus: Tab, and the focus that
        // a finished operation hands on, go from control to control of the operations only.
        list->setFocusPolicy(Qt::NoFocus);
        list->setAccessibleName(QString::fromUtf8(m_form.birthdayListHeading.design().caption).trimmed());
        widget = list;
        break;
    }
    case ControlKind::Image: {
        auto* image = new QLabel(parent);
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
        if (colour) {
            setAllGroups(palette, QPalette::Base, toColor(*colour));
            if (control.design().kind == ControlKind::ListBox)
                setAllGroups(palette, QPalette::Window, toColor(*colour));
        }
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
        if (auto* edit = qobject_cast<QLineEdit*>(widget); edit && edit->text() != control.text()) {
            // Whatever the operator types is shown whole; a text from elsewhere is cut when it is too long.
            const bool cut = control.text().size() > kShownChars;
            edit->setText(cut ? cutForShowing(control.text()) : control.text());
            edit->setReadOnly(cut);
            edit->setToolTip(cut ? QStringLiteral("Este texto es demasiado largo para mostrarlo entero; no se puede "
                                                  "modificar aquí y se guarda tal como está.")
                                 : QString());
        }
        break;
    case Form1::Property::Visible:
        widget->setVisible(control.isVisible());
        break;
    case Form1::Property::Enabled:
        if (auto* list = qobject_cast<QListView*>(widget)) {
            // A disabled list is greyed and its lines cannot be selected, but it can still be scrolled.
            list->setSelectionMode(control.isEnabled() ? QAbstractItemView::SingleSelection
                                                       : QAbstractItemView::NoSelection);
            if (!control.isEnabled())
                list->clearSelection();
            QPalette palette = list->palette();
            setAllGroups(palette, QPalette::Text,
                         control.isEnabled() ? QApplication::palette(list).color(QPalette::Text) : kDisabledListText);
            list->setPalette(palette);
        } else {
            widget->setEnabled(control.isEnabled());
        }
        break;
    case Form1::Property::BackColor:
        applyBackColor(control, widget);
        break;
    case Form1::Property::Items:
        if (auto* list = qobject_cast<QListView*>(widget))
            static_cast<QStringListModel*>(list->model())->setStringList(control.items());
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

void FormView::layOut()
{
    auto pixels = [this](int twips) { return twipsToPixels(twips, m_scale); };
    m_surface->setFixedSize(pixels(Form1::kClientWidth), pixels(Form1::kClientHeight));
    m_surface->setFont(designFont(Form1::kDefaultFont, m_scale));
    for (auto it = m_widgets.cbegin(); it != m_widgets.cend(); ++it) {
        const ControlDesign& design = it.key()->design();
        QWidget* widget = it.value();
        const QRect place(pixels(design.geometry.left), pixels(design.geometry.top), pixels(design.geometry.width),
                          pixels(design.geometry.height));
        widget->setGeometry(place);
        widget->setFont(designFont(design.font, m_scale));
        if (design.kind == ControlKind::Image)
            static_cast<QLabel*>(widget)->setPixmap(drawLogo(place.size()));
    }
    // A column of the birthday list reaches from its heading's left edge to a few pixels before the next heading;
    // the last one to the list's right edge.
    const Twips& list = m_form.birthdayList.design().geometry;
    const Control* headings[] = {&m_form.birthdayNameHeading, &m_form.birthdaySurnameHeading,
                                 &m_form.birthdayCardHeading, &m_form.birthdayDaysHeading};
    auto fromList = [&](const Control* heading) { return pixels(heading->design().geometry.left) - pixels(list.left); };
    BirthdayListDelegate::Columns columns;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        columns[i].left = fromList(headings[i]);
        columns[i].right = i + 1 < columns.size() ? fromList(headings[i + 1]) - kColumnGap : pixels(list.width);
    }
    auto* listView = static_cast<QListView*>(widgetFor(m_form.birthdayList));
    static_cast<BirthdayListDelegate*>(listView->itemDelegate())->setColumns(columns);
    listView->viewport()->update();
}

QList<QRect> FormView::memberBoxesOnScreen() const
{
    const QRect shown(viewport()->mapToGlobal(QPoint(0, 0)), viewport()->size());
    QList<QRect> boxes;
    for (const Control* box : m_form.memberBoxes()) {
        const QWidget* widget = widgetFor(*box);
        const QRect onScreen = QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()) & shown;
        if (widget->isVisible() && !onScreen.isEmpty())
            boxes << onScreen;
    }
    return boxes;
}

void FormView::showEvent(QShowEvent* event)
{
    // The window's frame is known once it is on screen; a window moved to another screen fits that one.
    if (!m_screenTracking && windowHandle())
        m_screenTracking = connect(windowHandle(), &QWindow::screenChanged, this, &FormView::fitToScreen);
    fitToScreen();
    QScrollArea::showEvent(event);
}

void FormView::fitToScreen()
{
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize room = area.size() - (isVisible() ? frameGeometry().size() - size() : QSize(0, 0));
    // Drawn smaller where the screen needs it, never larger than designed.
    const double fits = std::min({1.0, double(room.width()) / twipsToPixels(Form1::kClientWidth),
                                  double(room.height()) / twipsToPixels(Form1::kClientHeight)});
    if (const double scale = std::max(fits, kMinScale); scale != m_scale) {
        m_scale = scale;
        layOut();
    }
    const QSize form = m_surface->size();
    // A scroll bar along one side takes room from the other, which may then need its own.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    bool across = false, down = false;
    for (int i = 0; i < 2; ++i) {
        across = form.width() + (down ? bar : 0) > room.width();
        down = form.height() + (across ? bar : 0) > room.height();
    }
    setHorizontalScrollBarPolicy(across ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(down ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    const QSize whole = form + QSize(down ? bar : 0, across ? bar : 0);
    // Where the whole form fits, the window is the form, of fixed size.
    setMinimumSize(across || down ? whole.boundedTo(QSize(200, 150)) : whole);
    setMaximumSize(whole);
    resize(whole.boundedTo(room));
    // Kept whole on the screen's free area, as far as the window system lets a program place its windows.
    if (isVisible()) {
        const QRect frame = frameGeometry();
        const QPoint inside(
            std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() + 1 - frame.width())),
            std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height())));
        if (inside != frame.topLeft())
            move(inside);
    }
}

bool FormView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QScrollArea::eventFilter(watched, event);
    Control* control = m_controls.value(watched);
    if (!control)
        return QScrollArea::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;

    switch (control->design().kind) {
    case ControlKind::Button:
        // A focused button is pressed by Enter as well as by Space.
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            static_cast<QPushButton*>(watched)->click();
            return true;
        }
        return false;
    default:
        break;
    }

    // Text boxes: the model hears every typed character before the box handles it; the key is never consumed.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false;
    int keyCode = enter ? 13 : (key->text().isEmpty() ? -1 : int(key->text().toUcs4().value(0)));
    if (keyCode >= 0)
        control->keyPress(keyCode);
    return false;
}
