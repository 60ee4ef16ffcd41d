#ifndef DZPROGRESS_H
#define DZPROGRESS_H

#include "dzcoreexport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

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
    // totalSteps 0: the amount of work is unknown, and the bar only shows that work goes on.
    explicit DzProgress(const QString& info, int totalSteps = 0, bool isCancellable = false,
                        bool showTimeElapsed = false);
    // Finishes the work if that has not been done.
    ~DzProgress();

    bool isCancelled() const;

    // Whether the host shows progress at all (it does unless disabled); the work goes on,
    // and steps still let the host handle its events, either way.
    static void enable(bool onOff = true);
    static bool isEnabled();

    void step(int numSteps = 1);
    void update(int position);
    void setInfo(const QString& info);
    // Whether the dialog closes when this work finishes (the default) or stays open, full,
    // until the user closes it.
    void setCloseOnFinish(bool closeOnFinish);
    void finish();
    void cancel();

private:
    friend class DzProgressControl;

    DzProgress(const DzProgress&) = delete;
    DzProgress& operator=(const DzProgress&) = delete;

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
