#include "clothingfixture.h"
#include "dzappcontrol.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

using ClothingObject = ClothingTest;
using ErrorDialog = ClothingTest;

TEST_F(ClothingObject, SecondConstruction_LogsItsLinesOnceWithoutASecondSink)
{
    BMPliantClothing second;

    EXPECT_EQ(messages(), (QStringList{
        QStringLiteral("Connecting dzScene::skeletonLoaded() signal to this::clothingLoaded() slot"),
        QStringLiteral("Pliant clothing plugin initialized")}));
    for (const QString& line : DzAppControl(app()).logLines())
        EXPECT_TRUE(line.startsWith(QStringLiteral("[Pliant Clothing Plugin] [Debug]\t[")));
}

TEST_F(ClothingObject, SkeletonAddedToTheScene_ReachesEachObjectOnce)
{
    BMPliantClothing second;
    // A script that connects the object to the notice as well, once or twice.
    for (int i = 0; i < 2; ++i) {
        QObject::connect(&scene(), SIGNAL(skeletonAdded(DzSkeleton*)), &second, SLOT(clothingLoaded(DzSkeleton*)));
    }
    clearLog();

    addNode<DzSkeleton>(QStringLiteral("Coat"), false);

    EXPECT_EQ(messages().count(QStringLiteral("New item loaded: Coat")), 2) << "one per object";
}

// Runs `inspect` on the dialog while it is open, then presses the button with `buttonText`.
void whileDialogOpen(const std::function<void(QWidget*)>& inspect, const QString& buttonText)
{
    runLater(0, [=] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        inspect(dialog);
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == buttonText && button->isVisible()) {
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "no visible button " << buttonText.toStdString();
        QMetaObject::invokeMethod(dialog, "reject");
    });
}

TEST_F(ErrorDialog, Shown_ModalRichTextWithOkOnlyAndLoggedFirst)
{
    DzAppControl(app()).setDialogMode(DzAppControl::InteractiveDialogs);
    // Logged as it is: markup, and a script's tab and line feed too.
    const QString message = QStringLiteral("<h3>Heading</h3><br>line\tone\ntwo<br><a href=\"https://example.org/\">link</a>");
    bool inspected = false;
    whileDialogOpen([&](QWidget* dialog) {
        inspected = true;
        EXPECT_TRUE(dialog->isModal());
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Pliant Clothing Error"));
        const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
        ASSERT_EQ(labels.size(), 1);
        EXPECT_EQ(labels.first()->text(), message);
        EXPECT_EQ(labels.first()->textFormat(), Qt::RichText);
        EXPECT_TRUE(labels.first()->wordWrap());
        EXPECT_TRUE(labels.first()->openExternalLinks());
        QStringList visibleButtons;
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->isVisible())
                visibleButtons.append(button->text());
        }
        EXPECT_EQ(visibleButtons, QStringList{QStringLiteral("Ok")});
        // The message is in the log before the user sees it.
        EXPECT_EQ(messagesAt(QStringLiteral("Error")), QStringList{message});
    }, QStringLiteral("Ok"));

    EXPECT_EQ(m_clothing->displayError(message), 1);
    EXPECT_TRUE(inspected);
}

TEST_F(ErrorDialog, ConfirmationRequested_ShowsCancelAndCancellingAnswersZero)
{
    DzAppControl(app()).setDialogMode(DzAppControl::InteractiveDialogs);
    whileDialogOpen([](QWidget*) {}, QStringLiteral("Cancel"));
    EXPECT_EQ(m_clothing->displayError(QStringLiteral("sure?"), true), 0);

    DzAppControl(app()).setDialogMode(DzAppControl::AcceptDialogs);
    EXPECT_EQ(m_clothing->displayError(QStringLiteral("sure?"), true), 1);
    const DzDialogRecord record = DzAppControl(app()).dialogRecords().last();
    EXPECT_TRUE(record.cancelShown);
    EXPECT_FALSE(record.helpShown);
    EXPECT_EQ(record.acceptText, QStringLiteral("Ok"));
}

TEST_F(ErrorDialog, ClosedWithoutConfirming_AnswersZero)
{
    DzAppControl(app()).setDialogMode(DzAppControl::RejectDialogs);
    EXPECT_EQ(m_clothing->displayError(QStringLiteral("closed")), 0);
}

TEST_F(ErrorDialog, AfterTheCall_NeitherDialogNorLabelRemains)
{
    const int widgetsBefore = QApplication::allWidgets().size();
    m_clothing->displayError(QStringLiteral("gone"));
    EXPECT_EQ(QApplication::allWidgets().size(), widgetsBefore);
    EXPECT_EQ(messagesAt(QStringLiteral("Error")), QStringList{QStringLiteral("gone")});
}

TEST_F(ErrorDialog, EmptyMessage_EmptyLabelAndEmptyLogMessage)
{
    EXPECT_EQ(m_clothing->displayError(QString()), 1);
    EXPECT_EQ(messagesAt(QStringLiteral("Error")), QStringList{QString()});
    EXPECT_EQ(DzAppControl(app()).dialogRecords().last().richText, QString());
}

} // namespace
