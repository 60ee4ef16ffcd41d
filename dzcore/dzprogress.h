#ifndef DZPROGRESS_H
#define DZPROGRESS_H

#include "dzcoreexport.h"

#include <QElapsedTimer>
#include <QObject>
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
class DZCORE_EXPORT DzProgress : public QObject {
    Q_OBJECT
public:
    using LineWriter = std::function<void(const QString&)>;

    // totalSteps 0: the amount of work is unknown, and the bar only shows that work goes on.
    explicit DzProgress(const QString& info, int totalSteps = 0, bool isCancellable = false,
                        bool showTimeElapsed = false);
    // Finishes the work if that has not been done.
    ~DzProgress() override;

    bool isCancelled() const;
    QString getInfo() const;
    int getCurrentStep() const;
    int getTotalSteps() const;
    bool isCancellable() const;
    bool showsTimeElapsed() const;
    bool isEnabled() const;
    qint64 elapsedMs() const;
    // What the host shows of this work, in the words of a progress line.
    QString describe() const;

    // Where progress lines go when no dialog is shown (standard error in a batch run of the
    // host); nowhere by default.
    static void setLineWriter(LineWriter writer);

public slots:
    void step(int numSteps = 1);
    void update(int currentStep);
    void setInfo(const QString& info);
    // A disabled object is not shown; the next enclosing enabled one is.
    void enable(bool onOff);
    // Whether the dialog closes when this work finishes (the default) or stays open, full,
    // until the user closes it.
    void setCloseOnFinish(bool onOff);
    void finish();
    void cancel();

private:
    // Shows the change; `processEvents`: also lets the host handle its pending events.
    void changed(bool processEvents);

    QString m_info;
    int m_totalSteps;
    int m_currentStep = 0;
    bool m_cancellable;
    bool m_showTimeElapsed;
    bool m_enabled = true;
    bool m_closeOnFinish = true;
    bool m_finished = false;
    bool m_cancelled = false;
    bool m_presented; // made on the main thread, so the host shows it
    QElapsedTimer m_elapsed;
};

#endif
