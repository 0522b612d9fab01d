#include "tests/support/OperationFixture.h"

#include <QTest>

QStringList OperationFixture::boxes(const Form1& form)
{
    QStringList shown;
    for (const Control* box : form.memberBoxes()) {
        if (!box->text().isEmpty())
            shown << box->name() + QLatin1Char('=') + box->text();
        if (box->backColor() == Form1::kRed)
            shown << box->name() + QLatin1String(":red");
    }
    return shown;
}

OperationFixture::OperationFixture()
    : path(memberFileFromFixture(dir, QStringLiteral("members.sql"))), store(path),
      operations(form, store, prompt, messages)
{
    QCOMPARE(form.Form_Load(store, FixedClock(QDate(2026, 3, 10))), std::nullopt);
    operations.connectHandlers();
    prompt.setBeforeEachAnswer([this](int) { prompts << window(false) + " | " + boxes().join(QLatin1Char(' ')); });
    messages.onMessage = [this] { behindMessages << boxes(); };
}

QString OperationFixture::window(const Form1& f, bool withEntry)
{
    QStringList shown;
    for (const Control* label : {&f.Label29, &f.Label36, &f.Label18, &f.Label35, &f.Label14, &f.Label17, &f.Label37,
                                 &f.Label5, &f.Label28, &f.Label12})
        if (label->isVisible())
            shown << label->name();
    QStringList enabled;
    for (const Control* button : f.operationButtons())
        if (button->isEnabled())
            enabled << button->name();
    shown << (enabled.size() == 4 ? QStringList{"ops"} : enabled);
    for (const Control* control :
         {&f.command2, &f.Command9, &f.Command10, &f.Command11, &f.Command4, &f.Command7, &f.Command8, &f.Text8})
        if (control->isVisible())
            shown << control->name() + (control->isEnabled() ? "" : "-");
    enabled.clear();
    for (const Control* box : f.memberBoxes())
        if (box->isEnabled())
            enabled << box->name();
    shown << (enabled.size() == 15 && !f.Text4.isEnabled() ? QStringList{"edit"} : enabled);
    if (f.focusedControl())
        shown << "@" + f.focusedControl()->name();
    if (withEntry && !f.Text52.text().isEmpty())
        shown << "Text52=" + f.Text52.text();
    if (f.focusErrors() != 0)
        shown << QStringLiteral("focusErrors=%1").arg(f.focusErrors());
    return shown.join(QLatin1Char(' '));
}

QStringList OperationFixture::shown(const MemberRecord& row)
{
    Form1 other;
    other.ResetMemberBoxColours();
    other.ShowMemberRecord(row);
    return boxes(other);
}

void OperationFixture::click(Control& button, const QStringList& answers)
{
    prompt.setAnswers(answers);
    button.click();
}

void OperationFixture::leaveLeftovers()
{
    form.Label14.setVisible(true);
    form.Label17.setVisible(true);
    form.Text25.setText("resto");
    form.Text28.setBackColor(Form1::kRed);
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
