#include "dzprogress.h"

#include "dzapp.h"
#include "dzappcontrol.h"
#include "dzprogresscontrol.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QThread>

#include <atomic>

namespace {

// Batch lines of one piece of work come at most this often, unless its text changes.
constexpr qint64 lineIntervalMs = 1000;

// Progress is shown unless disabled; only the main thread shows it.
bool s_enabled = true;
// Whether the piece of work shown may be cancelled; read by signal handlers.
std::atomic<bool> s_cancellableShown{false};

bool onMainThread()
{
    const QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

QString elapsedText(qint64 elapsedMs)
{
    return DzProgress::tr("%1 s").arg(elapsedMs / 1000);
}

// The dialog that shows the innermost piece of work while dialogs are shown to the user.
class ProgressDialog : public QDialog {
public:
    ProgressDialog()
        : m_info(new QLabel), m_bar(new QProgressBar), m_elapsed(new QLabel),
          m_button(new QPushButton(DzProgress::tr("Cancel")))
    {
        setWindowTitle(DzProgress::tr("Progress"));
        // Modal, so that only this dialog takes the user's input while the work runs.
        setWindowModality(Qt::ApplicationModal);
        setMinimumWidth(360);
        m_info->setWordWrap(true);
        // Names in the text are shown as they are written, never as markup.
        m_info->setTextFormat(Qt::PlainText);
        m_bar->setTextVisible(true);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(m_button);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(m_info);
        layout->addWidget(m_bar);
        layout->addWidget(m_elapsed);
        layout->addLayout(buttons);
        connect(m_button, &QPushButton::clicked, this, [this] { reject(); });
    }

    const DzProgress* shown() const { return m_shown; }
    // The work shown is over; nothing is shown until the next display().
    void forget() { m_shown = nullptr; }

    void display(DzProgress* progress)
    {
        m_shown = progress;
        m_info->setText(DzProgressControl::info(*progress));
        const int total = DzProgressControl::totalSteps(*progress);
        m_bar->setRange(0, total > 0 ? total : 0);
        if (total > 0)
            m_bar->setValue(qMin(DzProgressControl::currentStep(*progress), total));
        m_elapsed->setVisible(DzProgressControl::showsTimeElapsed(*progress));
        const QString elapsed = elapsedText(DzProgressControl::elapsedMs(*progress));
        m_elapsed->setText(DzProgress::tr("Elapsed time: %1").arg(elapsed));
        m_button->setVisible(DzProgressControl::isCancellable(*progress));
        if (!isVisible())
            QDialog::show();
    }

    // The work is done but the user asked to see that: the dialog stays, full, until the
    // user closes it.
    void keepFinished()
    {
        m_finished = true;
        m_shown = nullptr;
        if (m_bar->maximum() == 0)
            m_bar->setRange(0, 1);
        m_bar->setValue(m_bar->maximum());
        m_button->setText(DzProgress::tr("Close"));
        m_button->setVisible(true);
        setAttribute(Qt::WA_DeleteOnClose);
    }

    void reject() override
    {
        if (m_finished)
            QDialog::reject();
        else if (m_shown && DzProgressControl::isCancellable(*m_shown))
            m_shown->cancel();
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        // The window's own close button means what the dialog's button means.
        event->ignore();
        reject();
    }

private:
    QLabel* m_info;
    QProgressBar* m_bar;
    QLabel* m_elapsed;
    QPushButton* m_button;
    DzProgress* m_shown = nullptr;
    bool m_finished = false;
};

// The pieces of work alive on the main thread, outermost first, and how the host shows the
// innermost enabled one.
class Presenter {
public:
    static Presenter& instance()
    {
        static Presenter presenter;
        return presenter;
    }

    void add(DzProgress* progress) { m_alive.append(progress); }

    // `keepDialog`: the dialog stays open if it shows this piece of work.
    void remove(DzProgress* progress, bool keepDialog)
    {
        m_alive.removeAll(progress);
        if (m_dialog && m_dialog->shown() == progress) {
            if (keepDialog) {
                m_dialog->keepFinished();
                m_dialog = nullptr;
            } else {
                m_dialog->forget();
            }
        }
        present();
    }

    bool showsDialogFor(const DzProgress* progress) const
    {
        return m_dialog && m_dialog->isVisible() && m_dialog->shown() == progress;
    }

    void setLineWriter(DzProgressControl::LineWriter writer) { m_writer = std::move(writer); }

    bool cancelShown()
    {
        DzProgress* current = innermost();
        if (!current || !DzProgressControl::isCancellable(*current) || current->isCancelled())
            return false;
        current->cancel();
        s_cancellableShown = false;
        if (!dialogsShown() && m_writer)
            m_writer(QStringLiteral("[progress] ") + DzProgressControl::info(*current) + QStringLiteral(": cancelled"));
        return true;
    }

    void present()
    {
        DzProgress* current = innermost();
        s_cancellableShown = current && DzProgressControl::isCancellable(*current) && !current->isCancelled();
        if (!current) {
            closeDialog();
            m_lastInfo.clear();
            m_lastShown = nullptr;
            return;
        }
        if (dialogsShown())
            showDialog(current);
        else
            writeLine(current);
    }

private:
    DzProgress* innermost() const
    {
        return DzProgress::isEnabled() && !m_alive.isEmpty() ? m_alive.last() : nullptr;
    }

    static bool dialogsShown()
    {
        return qobject_cast<QApplication*>(QCoreApplication::instance()) && dzApp
            && DzAppControl::currentDialogMode() == DzAppControl::InteractiveDialogs;
    }

    void showDialog(DzProgress* progress)
    {
        if (!m_dialog)
            m_dialog = new ProgressDialog;
        m_dialog->display(progress);
    }

    void closeDialog()
    {
        delete m_dialog.data();
        m_dialog = nullptr;
    }

    void writeLine(const DzProgress* progress)
    {
        const QString line = DzProgressControl::describe(*progress);
        const bool newText = progress != m_lastShown || DzProgressControl::info(*progress) != m_lastInfo;
        const bool due = line != m_lastLine && m_sinceLine.isValid() && m_sinceLine.elapsed() >= lineIntervalMs;
        if (!newText && !due)
            return;
        m_lastShown = progress;
        m_lastInfo = DzProgressControl::info(*progress);
        m_lastLine = line;
        m_sinceLine.start();
        if (m_writer)
            m_writer(line);
    }

    QList<DzProgress*> m_alive;
    QPointer<ProgressDialog> m_dialog;
    DzProgressControl::LineWriter m_writer;
    const DzProgress* m_lastShown = nullptr;
    QString m_lastInfo;
    QString m_lastLine;
    QElapsedTimer m_sinceLine;
};

} // namespace

DzProgress::DzProgress(const QString& info, int totalSteps, bool isCancellable, bool showTimeElapsed)
    : m_info(info), m_totalSteps(qMax(0, totalSteps)), m_cancellable(isCancellable),
      m_showTimeElapsed(showTimeElapsed)
{
    m_elapsed.start();
    // Work on another thread is not shown: the host shows its progress on the main thread.
    m_presented = onMainThread();
    if (m_presented)
        Presenter::instance().add(this);
    DzProgressControl::changed(*this, true);
}

DzProgress::~DzProgress()
{
    finish();
}

bool DzProgress::isCancelled() const
{
    return m_cancelled;
}

bool DzProgress::isEnabled()
{
    return s_enabled;
}

void DzProgress::step(int numSteps)
{
    update(m_currentStep + numSteps);
}

void DzProgress::update(int position)
{
    if (m_finished)
        return;
    m_currentStep = qMax(0, position);
    DzProgressControl::changed(*this, true);
}

void DzProgress::setInfo(const QString& info)
{
    if (m_finished)
        return;
    m_info = info;
    DzProgressControl::changed(*this, false);
}

void DzProgress::enable(bool onOff)
{
    s_enabled = onOff;
    try {
        Presenter::instance().present();
    } catch (...) {
        // Showing progress never fails the work it shows.
    }
}

void DzProgress::setCloseOnFinish(bool closeOnFinish)
{
    m_closeOnFinish = closeOnFinish;
}

void DzProgress::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_currentStep = qMax(m_currentStep, m_totalSteps);
    if (!m_presented)
        return;
    try {
        Presenter::instance().remove(this, !m_closeOnFinish);
    } catch (...) {
        // Showing progress never fails the work it shows.
    }
}

void DzProgress::cancel()
{
    m_cancelled = true;
}

QString DzProgressControl::info(const DzProgress& progress)
{
    return progress.m_info;
}

int DzProgressControl::currentStep(const DzProgress& progress)
{
    return progress.m_currentStep;
}

int DzProgressControl::totalSteps(const DzProgress& progress)
{
    return progress.m_totalSteps;
}

bool DzProgressControl::isCancellable(const DzProgress& progress)
{
    return progress.m_cancellable;
}

bool DzProgressControl::showsTimeElapsed(const DzProgress& progress)
{
    return progress.m_showTimeElapsed;
}

qint64 DzProgressControl::elapsedMs(const DzProgress& progress)
{
    return progress.m_elapsed.elapsed();
}

QString DzProgressControl::describe(const DzProgress& progress)
{
    QStringList details;
    const int total = progress.m_totalSteps;
    if (total > 0)
        details.append(DzProgress::tr("%1%").arg(qMin(progress.m_currentStep, total) * 100 / total));
    if (progress.m_showTimeElapsed)
        details.append(elapsedText(elapsedMs(progress)));
    QString line = QStringLiteral("[progress] ") + progress.m_info;
    if (!details.isEmpty())
        line += QStringLiteral(": ") + details.join(QStringLiteral(", "));
    return line;
}

bool DzProgressControl::cancelShown()
{
    return Presenter::instance().cancelShown();
}

bool DzProgressControl::cancellableShown()
{
    return s_cancellableShown;
}

void DzProgressControl::setLineWriter(LineWriter writer)
{
    Presenter::instance().setLineWriter(std::move(writer));
}

void DzProgressControl::changed(DzProgress& progress, bool processEvents)
{
    if (!progress.m_presented)
        return;
    try {
        Presenter& presenter = Presenter::instance();
        presenter.present();
        if (!processEvents)
            return;
        // A cancellable piece of work shown in its modal dialog lets the user reach the
        // dialog's button; otherwise the user's input waits until the work is done.
        const bool inputToDialog = progress.m_cancellable && presenter.showsDialogFor(&progress);
        QCoreApplication::processEvents(inputToDialog ? QEventLoop::AllEvents
                                                      : QEventLoop::ExcludeUserInputEvents);
    } catch (...) {
        // Showing progress never fails the work it shows.
    }
}
