#include "dzbasicdialog.h"

#include "dzapp.h"

#include <QBoxLayout>
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

    connect(m_acceptButton, SIGNAL(clicked()), this, SLOT(accept()));
    connect(m_cancelButton, SIGNAL(clicked()), this, SLOT(reject()));
    connect(m_helpButton, SIGNAL(clicked()), this, SLOT(whatsThis()));
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

DzDialogRecord DzBasicDialog::describe() const
{
    DzDialogRecord record;
    record.title = windowTitle();
    QStringList plain;
    QStringList rich;
    for (int i = 0; i < m_content->count(); ++i) {
        auto* label = qobject_cast<QLabel*>(m_content->itemAt(i)->widget());
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
    record.richText = rich.join(QString(QLatin1Char('\n')));
    record.text = plain.join(QString(QLatin1Char(' '))).simplified();
    record.acceptText = m_acceptButton->text();
    // Qt 4 takes the ancestor as a non-constant widget; it only reads it.
    auto* self = const_cast<DzBasicDialog*>(this);
    record.acceptShown = m_acceptButton->isVisibleTo(self);
    record.cancelShown = m_cancelButton->isVisibleTo(self);
    record.helpShown = m_helpButton->isVisibleTo(self);
    return record;
}

int DzBasicDialog::exec()
{
    const DzApp::DialogMode mode = dzApp ? dzApp->dialogMode() : DzApp::InteractiveDialogs;
    DzDialogRecord record = describe();
    int result;
    if (mode == DzApp::InteractiveDialogs) {
        result = QDialog::exec();
    } else {
        if (mode == DzApp::AcceptDialogs)
            accept();
        else
            reject();
        result = this->result();
    }
    record.accepted = result == QDialog::Accepted;
    if (dzApp)
        dzApp->reportDialog(record);
    return result;
}
