#ifndef GARBWRIGHT_CONFIRMDIALOG_H
#define GARBWRIGHT_CONFIRMDIALOG_H

#include "dzbasicdialog.h"

// The error dialog: remembers whether the user confirmed it with the accept button.
class ConfirmDialog : public DzBasicDialog {
public:
    ConfirmDialog(QWidget* parent, const QString& name) : DzBasicDialog(parent, name) {}
    ~ConfirmDialog() override = default;

    bool confirmed() const { return m_confirmed; }

protected:
    // The host calls this when the dialog is confirmed.
    void apply() override { m_confirmed = true; }

private:
    bool m_confirmed = false;
};

#endif
