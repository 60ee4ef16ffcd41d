#ifndef DZBASICDIALOGRUN_H
#define DZBASICDIALOGRUN_H

// For the stand-in's own sources: how the stand-in host sees each run of a dialog.

#include "dzappcontrol.h"

#include <QObject>
#include <QPointer>

class DzBasicDialog;
class QEvent;

// Watches one dialog: takes its record when it is shown, answers it at once when the host
// answers dialogs without a user, and reports the run when it finishes. The dialog's own
// exec() runs it, as the host SDK's does, so nothing of this is on the dialog's interface.
class DialogRun : public QObject {
    Q_OBJECT
public:
    explicit DialogRun(DzBasicDialog* dialog);

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void customEvent(QEvent* event) override;

private slots:
    void report(int result);

private:
    DzBasicDialog* m_dialog;
    DzDialogRecord m_record;
    bool m_shown = false;
};

#endif
