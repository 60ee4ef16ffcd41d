#include "garbwright.h"

#include "confirmdialog.h"
#include "dzapplogger.h"
#include "dzscene.h"
#include "messages.h"
#include "slotlog.h"
#include "slotwork.h"

#include <QLabel>

#include <memory>

namespace {

// The host-log sink is installed by the first object built in the process and stays, owned
// by the root logger, until the module is unloaded.
bool s_loggerSetUp = false;

void setUpLogging()
{
    if (!s_loggerSetUp) {
        auto sink = std::make_shared<DzAppLogger>(Orv::Logging::Debug);
        Orv::Logging::rootLogger.add(sink);
        trace("dzApp logger setup");
        s_loggerSetUp = true;
    }
}

} // namespace

BMPliantClothing::BMPliantClothing()
{
    setUpLogging();

    trace("Connecting dzScene::skeletonLoaded() signal to this::clothingLoaded() slot");
    // Made once, by the constructor, so it is unique without asking Qt to check: that check
    // goes through every connection of the signal, which made creating many objects cost the
    // square of their number.
    if (dzScene)
        connect(dzScene, SIGNAL(skeletonAdded(DzSkeleton*)), this, SLOT(clothingLoaded(DzSkeleton*)));

    trace("Pliant clothing plugin initialized");
}

BMPliantClothing::~BMPliantClothing() = default;

int SlotWork::displayError(const QString& msg, bool needsConfirmation)
{
    return guardedSlot("displayError", 0, [&] {
        std::shared_ptr<ConfirmDialog> dialog(new ConfirmDialog(nullptr, Messages::errorDialogName()));
        dialog->setModal(true);

        std::shared_ptr<QLabel> label(new QLabel(dialog.get()));
        label->setWordWrap(true);
        label->setTextFormat(Qt::RichText);
        label->setText(msg);
        label->setOpenExternalLinks(true);

        dialog->showCancelButton(needsConfirmation);
        dialog->showHelpButton(false);
        dialog->setAcceptButtonText(Messages::errorDialogAccept());
        dialog->addWidget(label.get(), 0, Qt::Alignment());

        // The message as it is, markup too: the module's own messages show each value from
        // outside escaped and bounded already, and a script may log whatever it likes.
        Orv::Logging::log(Orv::Logging::Error, logText(msg));
        // The user reads the dialog; no call waits on the server meanwhile.
        const WaitingCall::Paused notWaiting;
        dialog->exec();
        const int result = dialog->confirmed() ? 1 : 0;

        // The label is the dialog's child: it goes first, so that the dialog does not
        // delete it under its owner.
        label.reset();
        dialog.reset();
        return result;
    });
}

int BMPliantClothing::displayError(QString msg, bool needsConfirmation)
{
    return SlotWork::displayError(msg, needsConfirmation);
}
