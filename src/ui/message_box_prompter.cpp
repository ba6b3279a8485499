#include "ui/message_box_prompter.h"

#include <QInputDialog>
#include <QMessageBox>

void MessageBoxPrompter::showMessage(const QString& title, const QString& text)
{
    QMessageBox::information(m_parent, title, text, QMessageBox::Ok);
}

bool MessageBoxPrompter::askYesNo(const QString& title, const QString& text)
{
    return QMessageBox::question(m_parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

QString MessageBoxPrompter::askText(const QString& title, const QString& prompt)
{
    bool accepted = false;
    const QString text =
        QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, QString(), &accepted);
    return accepted ? text : QString();
}
