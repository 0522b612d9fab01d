#pragma once

#include "store/MemberStore.h"
#include "window/Control.h"

#include <QDate>
#include <QObject>

#include <array>
#include <span>
#include <vector>

class Clock;

// The application's one window, as a model: every control of the design with its run-time state, and the
// routines that work on them. The toolkit binding mirrors it on screen; tests read it without a display.
class Form1 : public QObject
{
    Q_OBJECT

public:
    enum class Property { Text, Visible, Enabled, BackColor, Items };

    // The window's client area and background.
    static constexpr int kClientWidth = 13185;
    static constexpr int kClientHeight = 9615;
    static constexpr Rgb kBackground = 0xFFFF80;
    // The font of every control whose design names none.
    static constexpr FontDesign kDefaultFont{"Arial", 8.25, false};

    // Background colours of the member boxes.
    static constexpr Rgb kLightYellow = 0xFFFFC0;
    static constexpr Rgb kRed = 0xFF0000;

    Form1();
    ~Form1() override;

    // Every control in design order: containers before what they contain, and each control above the ones
    // listed before it in the same container.
    const std::vector<Control*>& controls() const { return m_controls; }
    // The control with this design name (`Text25`) or role (`nameBox`); nullptr when none has it.
    Control* find(QAnyStringView nameOrRole) const;

    // The sixteen boxes that show one member.
    const std::array<Control*, 16>& memberBoxes() const { return m_memberBoxes; }

    Control* focusedControl() const { return m_focused; }
    // How often the focus was asked for a hidden or disabled control.
    int focusErrors() const { return m_focusErrors; }
    // The toolkit tells the model where the operator moved the focus (mouse, Tab).
    void noteFocus(Control* control);

    // Load handler: brings every control into the idle state and fills the birthday list with the members
    // whose birthday is 1 to 9 days after clock's today. Returns the store's error when the file cannot be read.
    // BirthdayList::Later leaves the list empty for fillBirthdayList(), when reading it would keep the window from
    // showing (a large file whose lookup indexes are still being built).
    enum class BirthdayList { Now, Later };
    StoreResult<void> load(const MemberStore& store, const Clock& clock, BirthdayList list = BirthdayList::Now);
    StoreResult<void> fillBirthdayList(const MemberStore& store, QDate today);
    // The lines of the birthday list on `today`, read from `store`, in table order. Touches no control, so it may run
    // in another thread, on a store of its own; showBirthdayList() then puts the lines in the list.
    static StoreResult<QStringList> birthdayLines(const MemberStore& store, QDate today);
    void showBirthdayList(const QStringList& lines);

    // The idle state, "elegir proceso": the operation buttons enabled, every button that finishes an operation
    // hidden, the message labels but chooseOperationNote hidden, the member boxes locked, the amount box hidden.
    void showIdleState();
    // After a failure of the member file in the middle of an operation: the idle state, with the member boxes
    // empty and light yellow and nothing of the broken operation left on screen.
    void restoreIdleState();

    // Member form routines: the sixteen member boxes and one row of "ficha".
    enum class StoreVariant {
        New,    // a new member: a birth date left empty is stored as "00/00/0000"
        Edited, // an edited member: a birth date left empty is stored as the empty mark
    };
    void clearMemberBoxes();
    void lockMemberBoxes();
    void unlockMemberBoxesForEntry();
    void resetMemberBoxColours();
    // Fills the boxes from a row; a field holding the empty mark shows as an empty red box.
    void showMember(const MemberRecord& row);
    // Leaves the window exactly as showMember called for each row in turn would, but changes each box once:
    // the texts of the last row, and red every box that any of the rows turns red (nothing turns a box back).
    void showMembers(std::span<const MemberRecord> rows);
    // Checks the date boxes and applies the zero rule. True when the dates pass.
    bool checkMemberDates();
    // Turns the boxes into the thirteen field values of a row, rewriting boxes on the way as the stored forms
    // require (empty mark, zero-padded dates).
    MemberRecord storeMemberBoxes(StoreVariant variant);

    const std::array<Control*, 4>& operationButtons() const { return m_operationButtons; }
    // The buttons that finish an operation: "salvar", "Salvar registro", "añadir puntos", the three ways out,
    // "reset puntos".
    const std::array<Control*, 7>& finishingButtons() const { return m_finishingButtons; }

    // Frames: "Acciones", "información", "Personales"
    Control actionsFrame, messageFrame, memberFrame;
    // The member boxes, each after the label that names it
    Control nameLabel, nameBox, surnameLabel, surnameBox;
    Control birthDateHeading, birthDayLabel, birthDayBox, birthMonthLabel, birthMonthBox, birthYearLabel, birthYearBox;
    Control birthdayGreetingNote;
    Control addressHeading, streetLabel, streetBox, postcodeLabel, postcodeBox, cityLabel, cityBox;
    Control phoneLabel, phoneBox, emailLabel, emailBox;
    Control managementHeading, memberNumberLabel, memberNumberBox, cardNumberLabel, cardNumberBox;
    Control expiryDateHeading, expiryMonthLabel, expiryMonthBox, expiryYearLabel, expiryYearBox;
    Control pointsLabel, pointsBox, notesLabel, notesBox;
    // Working boxes of the design: hidden from start-up on, they hold nothing the program reads
    Control cardEntryBox, spareBirthDateBox, spareCardBox, spareDateBox, spareFlagBox, spareActionsBox;
    // The operation buttons
    Control queryButton, newMemberButton, addPointsButton, editMemberButton;
    // The buttons that finish an operation, and the points amount box
    Control saveNewMemberButton, leaveNewMemberButton;
    Control saveEditedMemberButton, leaveEditButton;
    Control addAmountButton, resetPointsButton, leavePointsButton, amountBox;
    // Message labels of "información"
    Control chooseOperationNote, enterCardNote, enterMemberNumberNote, noSuchCardNote, numberTakenNote, fillInDataNote,
        changeDataNote, dateErrorNote, enterPointsNote, leaveWithStarNote;
    // The birthday list and its headings
    Control birthdayListHeading, birthdayNameHeading, birthdaySurnameHeading, birthdayCardHeading, birthdayDaysHeading,
        birthdayList;
    Control logo;
    // Controls without a role
    Control dataControl, blankFooterLabel, hiddenDayLabel;

signals:
    void changed(Control& control, Form1::Property property);
    // The model gave the focus to a control.
    void focusGiven(Control& control);

private:
    friend class Control;
    void notify(Control& control, Property property);
    void giveFocus(Control& control);
    void loseFocusIfUnusable(Control& control);
    // Makes Enter in each box of the Enter table move the focus on: a member is typed without the mouse, and an
    // amount of points is added with Enter, Enter.
    void connectKeyPressHandlers();
    // Enter (13) in `box` gives the focus to its target; every other key is left alone. The key is never changed
    // or consumed.
    void moveFocusOnEnter(Control& box, int keyCode);

    std::vector<Control*> m_controls;
    std::array<Control*, 16> m_memberBoxes{};
    std::array<Control*, 4> m_operationButtons{};
    std::array<Control*, 7> m_finishingButtons{};
    Control* m_focused = nullptr;
    int m_focusErrors = 0;
};
