#include "tests/support/OperationFixture.h"

#include <QTest>

QStringList OperationFixture::boxes(const Form1& form)
{
    QStringList shown;
    for (const Control* box : form.memberBoxes()) {
        if (!box->text().isEmpty())
            shown << box->role() + QLatin1Char('=') + box->text();
        if (box->backColor() == Form1::kRed)
            shown << box->role() + QLatin1String(":red");
    }
    return shown;
}

OperationFixture::OperationFixture()
    : path(memberFileFromFixture(dir, QStringLiteral("members.sql"))), store(path),
      operations(form, store, prompt, messages)
{
    VERIFY_OK(form.load(store, FixedClock(QDate(2026, 3, 10))));
    operations.connectHandlers();
    prompt.setBeforeEachAnswer([this](int) { prompts << window() + " | " + boxes().join(QLatin1Char(' ')); });
    messages.onMessage = [this] { behindMessages << boxes(); };
}

QString OperationFixture::window(const Form1& f)
{
    QStringList shown;
    for (const Control* label :
         {&f.chooseOperationNote, &f.enterCardNote, &f.leaveWithStarNote, &f.noSuchCardNote, &f.numberTakenNote,
          &f.fillInDataNote, &f.changeDataNote, &f.dateErrorNote, &f.enterPointsNote, &f.enterMemberNumberNote})
        if (label->isVisible())
            shown << label->role();
    QStringList enabled;
    for (const Control* button : f.operationButtons())
        if (button->isEnabled())
            enabled << button->role();
    shown << (enabled.size() == 4 ? QStringList{"ops"} : enabled);
    for (const Control* control :
         {&f.saveNewMemberButton, &f.leaveNewMemberButton, &f.saveEditedMemberButton, &f.leaveEditButton,
          &f.addAmountButton, &f.leavePointsButton, &f.resetPointsButton, &f.amountBox})
        if (control->isVisible())
            shown << control->role() + (control->isEnabled() ? "" : "-");
    enabled.clear();
    for (const Control* box : f.memberBoxes())
        if (box->isEnabled())
            enabled << box->role();
    shown << (enabled.size() == 15 && !f.cardNumberBox.isEnabled() ? QStringList{"edit"} : enabled);
    if (f.focusedControl())
        shown << "@" + f.focusedControl()->role();
    if (f.focusErrors() != 0)
        shown << QStringLiteral("focusErrors=%1").arg(f.focusErrors());
    return shown.join(QLatin1Char(' '));
}

QStringList OperationFixture::shown(const MemberRecord& row)
{
    Form1 other;
    other.resetMemberBoxColours();
    other.showMember(row);
    return boxes(other);
}

void OperationFixture::click(Control& button, const QStringList& answers)
{
    prompt.setAnswers(answers);
    button.click();
}

void OperationFixture::leaveLeftovers()
{
    form.numberTakenNote.setVisible(true);
    form.fillInDataNote.setVisible(true);
    form.nameBox.setText("resto");
    form.birthDayBox.setBackColor(Form1::kRed);
}

void OperationFixture::type(const QStringList& entries)
{
    for (const QString& entry : entries) {
        Control* box = form.find(entry.section(QLatin1Char('='), 0, 0));
        QVERIFY2(box && box->isEnabled(), qPrintable(entry));
        box->setText(entry.section(QLatin1Char('='), 1));
    }
}

MemberRecord OperationFixture::changed(MemberRecord row, const QStringList& changes)
{
    for (const QString& change : changes)
        for (Field field : allFields())
            if (change.section(QLatin1Char('='), 0, 0) == QLatin1String(fieldName(field)))
                row[field] = change.section(QLatin1Char('='), 1);
    return row;
}
