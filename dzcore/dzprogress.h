#ifndef DZPROGRESS_H
#define DZPROGRESS_H

#include "dzcoreexport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <functional>

// The host's progress object, created around long work on the main thread. While one is
// alive the host shows it: a progress dialog (info text, bar, elapsed time) when dialogs
// are shown to the user, otherwise a "[progress] ..." line each time its text changes and
// at most about once a second. When several are alive, the innermost enabled one is shown.
//
// Stepping lets the host repaint: it processes pending events, but holds back the user's
// input, so nothing the user does can start other work while this work runs (the dialog of
// a cancellable object is modal and takes the user's input itself).
class DZCORE_EXPORT DzProgress {
    Q_DECLARE_TR_FUNCTIONS(DzProgress)
public:
    using LineWriter = std::function<void(const QString&)>;

    // totalSteps 0: the amount of work is unknown, and the bar only shows that work goes on.
    explicit DzProgress(const QString& info, int totalSteps = 0, bool isCancellable = false,
                        bool showTimeElapsed = false);
    // Finishes the work if that has not been done.
    ~DzProgress();

    bool isCancelled() const;
    QString getInfo() const;
    int getCurrentStep() const;
    int getTotalSteps() const;
    bool isCancellable() const;
    bool showsTimeElapsed() const;
    qint64 elapsedMs() const;
    // What the host shows of this work, in the words of a progress line.
    QString describe() const;

    // The host's way to cancel, as the dialog's Cancel button does: cancels the innermost
    // piece of work shown, if the user may cancel it, and says so in a progress line. False
    // when nothing cancellable is shown.
    static bool cancelShown();
    // Whether cancelShown() would cancel something; safe to ask from a signal handler.
    static bool cancellableShown();

    // Where progress lines go when no dialog is shown (standard error in a batch run of the
    // host); nowhere by default.
    static void setLineWriter(LineWriter writer);

    // Whether the host shows progress at all (it does unless disabled); the work goes on,
    // and steps still let the host handle its events, either way.
    static void enable(bool onOff);
    static bool isEnabled();

    void step(int numSteps = 1);
    void update(int currentStep);
    void setInfo(const QString& info);
    // Whether the dialog closes when this work finishes (the default) or stays open, full,
    // until the user closes it.
    void setCloseOnFinish(bool onOff);
    void finish();
    void cancel();

private:
    DzProgress(const DzProgress&) = delete;
    DzProgress& operator=(const DzProgress&) = delete;

    // Shows the change; `processEvents`: also lets the host handle its pending events.
    void changed(bool processEvents);

    QString m_info;
    int m_totalSteps;
    int m_currentStep = 0;
    bool m_cancellable;
    bool m_showTimeElapsed;
    bool m_closeOnFinish = true;
    bool m_finished = false;
    bool m_cancelled = false;
    bool m_presented; // made on the main thread, so the host shows it
    QElapsedTimer m_elapsed;
};

#endif
