#include "ui/secret_entry.h"

#include "platform/program_title.h"
#include "platform/prompter.h"
#include "storage/run_settings.h"
#include "ui/mainwindow.h"
#include "ui/settings_pages.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace {

bool isEnterKey(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

QString trimSpaces(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

SecretEntry::SecretEntry(MainWindow& form, RunSettings& settings, Prompter& prompter,
                         QObject* parent)
    : QObject(parent), m_settings(settings), m_prompter(prompter),
      m_runPasswordBox(form.settingsPages().runPasswordBox()),
      m_apopSecretBox(form.settingsPages().apopSecretBox())
{
    m_runPasswordBox->installEventFilter(this);
    m_apopSecretBox->installEventFilter(this);
    connect(m_apopSecretBox, &QPlainTextEdit::textChanged, this,
            &SecretEntry::keepSecretWithinLimit);
}

bool SecretEntry::eventFilter(QObject* watched, QEvent* event)
{
    if (!isEnterKey(event))
        return QObject::eventFilter(watched, event);
    // The Enter key itself never reaches the box: no new line, no default
    // button.
    if (watched == m_runPasswordBox)
        runPasswordEntered();
    else if (watched == m_apopSecretBox)
        apopSecretEntered();
    else
        return QObject::eventFilter(watched, event);
    return true;
}

void SecretEntry::runPasswordEntered()
{
    const QString typed = trimSpaces(m_runPasswordBox->text());
    if (!m_settings.runPassword.isEmpty()) {
        // A password is set: the box only serves to delete it.
        if (typed != m_settings.runPassword) {
            m_prompter.showMessage(
                MessageKind::Warning, programTitle(),
                QStringLiteral("Enter Your Current Password, And Press -Enter- Key To Delete It"));
        } else {
            m_settings.runPassword.clear();
            m_prompter.showMessage(MessageKind::Notice, programTitle(),
                                   QStringLiteral("Okay, Your Old Password Has Been Deleted.\n"
                                                  "Now, You Can Enter A New Password."));
        }
        m_runPasswordBox->clear();
        return;
    }
    const bool yes = m_prompter.askYesNo(
        programTitle(),
        QStringLiteral("Confirm: Your New Password To Run Quorvamel Is: \n") + typed);
    if (yes) {
        m_settings.runPassword = typed;
        m_runPasswordBox->clear();
        m_prompter.showMessage(MessageKind::Notice, programTitle(),
                               QStringLiteral("Your New Password Has Been Stored."));
    } else {
        m_prompter.showMessage(MessageKind::Notice, programTitle(),
                               QStringLiteral("Your Password Was Not Changed."));
        m_runPasswordBox->clear();
    }
}

void SecretEntry::apopSecretEntered()
{
    const QString typed = trimSpaces(m_apopSecretBox->toPlainText());
    const bool yes = m_prompter.askYesNo(programTitle(),
                                         QStringLiteral("Confirm Your Shared Secret: \n") + typed);
    if (yes) {
        m_settings.apopSecret = typed;
        m_apopSecretBox->clear();
        m_prompter.showMessage(MessageKind::Notice, programTitle(),
                               QStringLiteral("Your New Secret Has Been Stored."));
    } else {
        // The typed text stays for correction.
        m_prompter.showMessage(MessageKind::Notice, programTitle(),
                               QStringLiteral("Your Secret Was Not Changed.\n"
                                              "You Can Make A Correction, Then Enter Again"));
    }
}

void SecretEntry::keepSecretWithinLimit()
{
    // A plain-text box has no length limit of its own: cut what typing or
    // pasting put beyond it.
    const int length = m_apopSecretBox->document()->characterCount() - 1;
    if (length <= SecretLimit)
        return;
    QTextCursor cursor(m_apopSecretBox->document());
    cursor.setPosition(SecretLimit);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}
