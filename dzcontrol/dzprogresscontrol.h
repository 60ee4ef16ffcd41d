#ifndef DZPROGRESSCONTROL_H
#define DZPROGRESSCONTROL_H

// The stand-in host's own view of progress objects: what it shows of them, its way to
// cancel the one shown (Ctrl+C in a batch run), and where batch progress lines go. The
// host program and the tests use it; a plug-in module never sees this folder.

#include "dzcoreexport.h"

#include <QString>

#include <functional>

class DzProgress;

class DZCORE_EXPORT DzProgressControl {
public:
    using LineWriter = std::function<void(const QString&)>;

    static QString info(const DzProgress& progress);
    static int currentStep(const DzProgress& progress);
    static int totalSteps(const DzProgress& progress);
    static bool isCancellable(const DzProgress& progress);
    static bool showsTimeElapsed(const DzProgress& progress);
    static qint64 elapsedMs(const DzProgress& progress);
    // What the host shows of this work, in the words of a progress line.
    static QString describe(const DzProgress& progress);

    // The host's way to cancel, as the dialog's Cancel button does: cancels the innermost
    // piece of work shown, if the user may cancel it, and says so in a progress line. False
    // when nothing cancellable is shown.
    static bool cancelShown();
    // Whether cancelShown() would cancel something; safe to ask from a signal handler.
    static bool cancellableShown();

    // Where progress lines go when no dialog is shown (standard error in a batch run of the
    // host); nowhere by default.
    static void setLineWriter(LineWriter writer);

    // Shows a change of the work; `processEvents`: also lets the host handle its pending
    // events. For the stand-in's own sources.
    static void changed(DzProgress& progress, bool processEvents);
};

#endif
