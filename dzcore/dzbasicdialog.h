#ifndef DZBASICDIALOG_H
#define DZBASICDIALOG_H

#include "dzcoreexport.h"

#include <QDialog>
#include <QString>

class QBoxLayout;
class QHBoxLayout;
class QLayout;
class QPushButton;
class QVBoxLayout;

// The host's standard dialog: a content area above a row of buttons (help on the left;
// accept and cancel on the right). Pressing accept runs apply() and then closes the dialog,
// so apply() is where a subclass takes the user's confirmation. A dialog run with exec() is
// shown to the user or answered at once, as the stand-in host is set to answer dialogs, and
// every run is reported to it.
class DZCORE_EXPORT DzBasicDialog : public QDialog {
    Q_OBJECT
public:
    DzBasicDialog(QWidget* parent, const QString& name);
    ~DzBasicDialog() override;

    virtual void addLayout(QLayout* layout, int stretch = 0);
    virtual void addWidget(QWidget* widget, int stretch = 0, Qt::Alignment alignment = Qt::Alignment());
    virtual void addStretch(int stretch = 0);
    virtual void addSpacing(int size);
    // Adds a button to the button row, left of the accept button.
    virtual void addButton(QPushButton* button);

    void showCancelButton(bool onOff);
    void showHelpButton(bool onOff);
    void showAcceptButton(bool onOff);
    void setAcceptButtonText(const QString& text);

protected slots:
    virtual void apply();
    virtual void whatsThis();

protected:
    void accept() override;

private:
    friend class DzAppControl;

    QVBoxLayout* m_content;
    QPushButton* m_helpButton;
    QPushButton* m_acceptButton;
    QPushButton* m_cancelButton;
    QHBoxLayout* m_buttonRow;
};

#endif
