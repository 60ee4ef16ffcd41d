#include "dzbasicdialog.h"
#include "dzappcontrol.h"
#include "dzprogress.h"

#include "hostfixture.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

// A dialog that takes the user's confirmation in apply(), as plug-in dialogs do, and
// notes whether it was still open at that moment.
class RecordingDialog : public DzBasicDialog {
public:
    using DzBasicDialog::DzBasicDialog;

    int applied = 0;
    bool openWhenApplied = false;

protected:
    void apply() override
    {
        ++applied;
        openWhenApplied = isVisible() && result() != QDialog::Accepted;
    }
};

QPushButton* button(QDialog& dialog, const QString& text)
{
    for (QPushButton* candidate : dialog.findChildren<QPushButton*>()) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

class DialogTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        DzAppControl(app()).setDialogWriter([this](const QString& line) { written.append(line); });
    }

    // An error dialog like the plug-in's: rich text, one "Ok" button.
    void fill(DzBasicDialog& dialog, const QString& text)
    {
        auto* label = new QLabel(&dialog);
        label->setText(text);
        dialog.addWidget(label);
        dialog.showCancelButton(false);
        dialog.showHelpButton(false);
        dialog.setAcceptButtonText(QStringLiteral("Ok"));
    }

    QStringList written;
};

} // namespace

TEST_F(DialogTest, PressingAccept_RunsApplyThenCloses)
{
    RecordingDialog dialog(nullptr, QStringLiteral("Confirm"));
    dialog.show();
    QPushButton* accept = button(dialog, QStringLiteral("Accept"));
    ASSERT_NE(accept, nullptr);
    accept->click();
    EXPECT_EQ(dialog.applied, 1);
    EXPECT_TRUE(dialog.openWhenApplied);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(DialogTest, PressingCancel_ClosesWithoutApply)
{
    RecordingDialog dialog(nullptr, QStringLiteral("Confirm"));
    dialog.show();
    QPushButton* cancel = button(dialog, QStringLiteral("Cancel"));
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_EQ(dialog.applied, 0);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(DialogTest, AcceptMode_ExecAnswersAtOnceAndIsRecorded)
{
    DzAppControl(app()).setDialogMode(DzAppControl::AcceptDialogs);
    RecordingDialog dialog(nullptr, QStringLiteral("Pliant Clothing Error"));
    fill(dialog, QStringLiteral("<h3>ERROR: Could not find it.</h3><br>Run the <b>updater</b>"));

    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.applied, 1);
    ASSERT_EQ(DzAppControl(app()).dialogRecords().size(), 1);
    const DzDialogRecord record = DzAppControl(app()).dialogRecords().first();
    EXPECT_EQ(record.title, QStringLiteral("Pliant Clothing Error"));
    EXPECT_EQ(record.text, QStringLiteral("ERROR: Could not find it. Run the updater"));
    EXPECT_EQ(record.richText, QStringLiteral("<h3>ERROR: Could not find it.</h3><br>Run the <b>updater</b>"));
    EXPECT_EQ(record.acceptText, QStringLiteral("Ok"));
    EXPECT_TRUE(record.acceptShown);
    EXPECT_FALSE(record.cancelShown);
    EXPECT_FALSE(record.helpShown);
    EXPECT_TRUE(record.accepted);
    EXPECT_EQ(written, (QStringList{"[dialog] Pliant Clothing Error: ERROR: Could not find it. Run the updater"}));
}

TEST_F(DialogTest, RejectMode_ExecAnswersAtOnceWithoutApply)
{
    DzAppControl(app()).setDialogMode(DzAppControl::RejectDialogs);
    RecordingDialog dialog(nullptr, QStringLiteral("Question"));
    fill(dialog, QStringLiteral("Plain   text,\n  folded"));
    dialog.showCancelButton(true);

    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(dialog.applied, 0);
    ASSERT_EQ(DzAppControl(app()).dialogRecords().size(), 1);
    EXPECT_FALSE(DzAppControl(app()).dialogRecords().first().accepted);
    EXPECT_TRUE(DzAppControl(app()).dialogRecords().first().cancelShown);
    EXPECT_EQ(written, (QStringList{"[dialog] Question: Plain text, folded"}));
}

TEST_F(DialogTest, InteractiveMode_WaitsForTheUserAndPrintsNothing)
{
    DzAppControl(app()).setDialogMode(DzAppControl::InteractiveDialogs);
    RecordingDialog dialog(nullptr, QStringLiteral("Question"));
    fill(dialog, QStringLiteral("Sure?"));
    // The "user" presses Ok once the dialog's own loop runs.
    QTimer::singleShot(0, &dialog, [&dialog] { button(dialog, QStringLiteral("Ok"))->click(); });
    // Should the click never land, the dialog still ends: the test must not hang.
    QTimer::singleShot(5000, &dialog, &QDialog::reject);

    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.applied, 1);
    ASSERT_EQ(DzAppControl(app()).dialogRecords().size(), 1);
    EXPECT_TRUE(DzAppControl(app()).dialogRecords().first().accepted);
    EXPECT_TRUE(written.isEmpty());
}


// Names in a progress text (a figure's, a garment's) are shown as written, never as markup.
TEST_F(DialogTest, ProgressDialog_ShowsItsTextAsWritten)
{
    DzAppControl(app()).setDialogMode(DzAppControl::InteractiveDialogs);
    const QString info = QStringLiteral("Converting <h1>Dress</h1> for <a href=\"x\">Base</a><img src=\"y\">");
    DzProgress progress(info);

    const QLabel* shown = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            if (label->isVisible() && label->text() == info)
                shown = label;
        }
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->textFormat(), Qt::PlainText);
}
