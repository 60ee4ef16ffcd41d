#include "dzbasicdialog.h"

#include "dzapp.h"
#include "dzappcontrol.h"
#include "dzbasicdialogrun.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTextDocument>
#include <QWhatsThis>

DzBasicDialog::DzBasicDialog(QWidget* parent, const QString& name)
    : QDialog(parent),
      m_content(new QVBoxLayout),
      m_helpButton(new QPushButton(tr("Help"))),
      m_acceptButton(new QPushButton(tr("Accept"))),
      m_cancelButton(new QPushButton(tr("Cancel"))),
      m_buttonRow(new QHBoxLayout)
{
    setObjectName(name);
    setWindowTitle(name);

    m_buttonRow->addWidget(m_helpButton);
    m_buttonRow->addStretch(1);
    m_buttonRow->addWidget(m_acceptButton);
    m_buttonRow->addWidget(m_cancelButton);
    m_acceptButton->setDefault(true);

    auto* main = new QVBoxLayout(this);
    main->addLayout(m_content, 1);
    main->addLayout(m_buttonRow);

    connect(m_acceptButton, &QPushButton::clicked, this, &DzBasicDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &DzBasicDialog::reject);
    connect(m_helpButton, &QPushButton::clicked, this, &DzBasicDialog::whatsThis);
    new DialogRun(this);
}

DzBasicDialog::~DzBasicDialog() = default;

void DzBasicDialog::addLayout(QLayout* layout, int stretch)
{
    m_content->addLayout(layout, stretch);
}

void DzBasicDialog::addWidget(QWidget* widget, int stretch, Qt::Alignment alignment)
{
    m_content->addWidget(widget, stretch, alignment);
}

void DzBasicDialog::addStretch(int stretch)
{
    m_content->addStretch(stretch);
}

void DzBasicDialog::addSpacing(int size)
{
    m_content->addSpacing(size);
}

void DzBasicDialog::addButton(QPushButton* button)
{
    m_buttonRow->insertWidget(m_buttonRow->indexOf(m_acceptButton), button);
}

void DzBasicDialog::showCancelButton(bool onOff)
{
    m_cancelButton->setVisible(onOff);
}

void DzBasicDialog::showHelpButton(bool onOff)
{
    m_helpButton->setVisible(onOff);
}

void DzBasicDialog::showAcceptButton(bool onOff)
{
    m_acceptButton->setVisible(onOff);
}

void DzBasicDialog::setAcceptButtonText(const QString& text)
{
    m_acceptButton->setText(text);
}

void DzBasicDialog::apply() {}

void DzBasicDialog::whatsThis()
{
    QWhatsThis::enterWhatsThisMode();
}

void DzBasicDialog::accept()
{
    apply();
    QDialog::accept();
}

DzDialogRecord DzAppControl::describe(const DzBasicDialog& dialog)
{
    DzDialogRecord record;
    record.title = dialog.windowTitle();
    QStringList plain;
    QStringList rich;
    for (int i = 0; i < dialog.m_content->count(); ++i) {
        auto* label = qobject_cast<QLabel*>(dialog.m_content->itemAt(i)->widget());
        if (!label)
            continue;
        rich.append(label->text());
        const bool isRich = label->textFormat() == Qt::RichText
            || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
        if (!isRich) {
            plain.append(label->text());
        } else {
            QTextDocument document;
            document.setHtml(label->text());
            plain.append(document.toPlainText());
        }
    }
    record.richText = rich.join(QLatin1Char('\n'));
    record.text = plain.join(QLatin1Char(' ')).simplified();
    record.acceptText = dialog.m_acceptButton->text();
    record.acceptShown = dialog.m_acceptButton->isVisibleTo(&dialog);
    record.cancelShown = dialog.m_cancelButton->isVisibleTo(&dialog);
    record.helpShown = dialog.m_helpButton->isVisibleTo(&dialog);
    return record;
}

DialogRun::DialogRun(DzBasicDialog* dialog) : QObject(dialog), m_dialog(dialog)
{
    dialog->installEventFilter(this);
    connect(dialog, SIGNAL(finished(int)), this, SLOT(report(int)));
}

bool DialogRun::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_dialog && event->type() == QEvent::Show) {
        // What the user is shown, taken before anyone answers.
        m_record = DzAppControl::describe(*m_dialog);
        m_shown = true;
        // Answered from within the dialog's own loop, once it runs, as a user would.
        if (DzAppControl::currentDialogMode() != DzAppControl::InteractiveDialogs)
            QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }
    return false;
}

void DialogRun::customEvent(QEvent* event)
{
    if (event->type() != QEvent::User || !m_dialog->isVisible())
        return;
    if (DzAppControl::currentDialogMode() == DzAppControl::AcceptDialogs)
        static_cast<QDialog*>(m_dialog)->accept(); // through QDialog, where it is public
    else
        m_dialog->reject();
}

void DialogRun::report(int result)
{
    if (!m_shown)
        return;
    m_shown = false;
    m_record.accepted = result == QDialog::Accepted;
    if (dzApp)
        DzAppControl(*dzApp).reportDialog(m_record);
}
