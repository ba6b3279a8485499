#include "ui/message_box_prompter.h"

#include <QInputDialog>
#include <QMessageBox>

void MessageBoxPrompter::showMessage(MessageKind kind, const QString& title, const QString& text)
{
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (kind) {
    case MessageKind::Notice:
        icon = QMessageBox::Information;
        break;
    case MessageKind::Warning:
        icon = QMessageBox::Warning;
        break;
    case MessageKind::Error:
        icon = QMessageBox::Critical;
        break;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool MessageBoxPrompter::askYesNo(const QString& title, const QString& text)
{
    return QMessageBox::question(m_parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

QString MessageBoxPrompter::askText(const QString& title, const QString& prompt, EntryEcho echo)
{
    bool accepted = false;
    const QLineEdit::EchoMode mode =
        echo == EntryEcho::Masked ? QLineEdit::Password : QLineEdit::Normal;
    const QString text = QInputDialog::getText(m_parent, title, prompt, mode, QString(), &accepted);
    return accepted ? text : QString();
}
