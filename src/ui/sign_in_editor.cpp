#include "ui/sign_in_editor.h"

#include "model/account_list_model.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "platform/secret_store.h"
#include "runs/browser_sign_in.h"
#include "runs/forget_sign_in.h"
#include "runs/sign_in_book.h"
#include "ui/accounts_page.h"
#include "ui/mainwindow.h"
#include "ui/sign_in_dialog.h"
#include "ui/window_menus.h"

#include <QAction>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTreeView>

SignInEditor::SignInEditor(MainWindow& form, AccountListModel& accounts, SignInBook& book,
                           Prompter& prompter, QObject* parent)
    : QObject(parent), m_form(form), m_accounts(accounts), m_book(book), m_prompter(prompter),
      m_runDialog([](SignInDialog& dialog) { return dialog.exec() == QDialog::Accepted; })
{
    connect(form.accountsPage().signInButton(), &QPushButton::clicked, this,
            &SignInEditor::editSelected);
    connect(form.menus().accountList.signIn, &QAction::triggered, this,
            &SignInEditor::editSelected);
}

MailboxKey SignInEditor::mailboxOf(const AccountRow& row)
{
    return {row.serverName, row.port.toInt(), row.userName};
}

void SignInEditor::editSelected()
{
    const QItemSelectionModel* selection = m_form.accountListView()->selectionModel();
    const QModelIndexList rows = selection ? selection->selectedRows() : QModelIndexList();
    if (rows.isEmpty() || rows.first().model() != &m_accounts)
        return;
    const AccountRow& row = m_accounts.rowAt(rows.first().row());
    const MailboxKey mailbox = mailboxOf(row);

    SignInDialog::Options options;
    options.mailbox = mailbox;
    options.accountTitle = row.userName + u'@' + row.serverName + u':' + row.port;
    options.secretStoreAvailable = m_secretStore != nullptr;
    options.toolTipsOff = m_form.toolTipsOff();
    options.font = m_form.accountsPage().frame()->font();
    options.pageColour = m_form.pageColour();
    SignInDialog dialog(options, &m_form);
    dialog.setSignIn(m_book.find(mailbox));
    if (m_browserSignIn) {
        connect(&dialog, &SignInDialog::signInRequested, m_browserSignIn, &BrowserSignIn::start);
        connect(m_browserSignIn, &BrowserSignIn::stateChanged, &dialog,
                &SignInDialog::showBrowserSignIn);
    }
    const bool accepted = m_runDialog(dialog);
    // The address to open is shown only in the dialog: a sign-in still
    // waiting when it closes is given up.
    if (m_browserSignIn)
        m_browserSignIn->cancel();
    if (accepted)
        apply(mailbox, dialog.signIn(), dialog.passwordToStore());
}

bool SignInEditor::apply(const MailboxKey& mailbox, const AccountSignIn& signIn,
                         const QString& passwordToStore)
{
    if (!passwordToStore.isEmpty() && signIn.secretOrigin == SecretOrigin::SecretStore) {
        QString error = QStringLiteral("No Secret Service Runs On This Desktop");
        const SecretKey key{mailbox.server, mailbox.port, mailbox.userName, SecretKind::Password};
        const QString label = programTitle() + QStringLiteral(" password for ") + mailbox.userName +
                              u'@' + mailbox.server;
        if (!m_secretStore || !m_secretStore->store(key, label, passwordToStore, &error)) {
            m_prompter.showMessage(
                MessageKind::Error, programTitle(),
                QStringLiteral("Could Not Store The Password In The Secret Store: ") + error);
            return false;
        }
    }
    if (m_book.find(mailbox) == signIn)
        return true;
    m_book.set(mailbox, signIn);
    return save();
}

void SignInEditor::accountDeleted(const MailboxKey& mailbox)
{
    // A later account with the same server, port and user name starts over;
    // a row still listed for the mailbox (a port typed differently) keeps
    // its choice and secrets.
    QList<MailboxKey> remaining;
    for (const AccountRow& row : m_accounts.rows())
        remaining.append(mailboxOf(row));
    const ForgottenSignIn forgotten =
        forgetDeletedAccount(mailbox, remaining, m_book, m_secretStore);
    if (!forgotten.storeError.isEmpty())
        m_prompter.showMessage(
            MessageKind::Warning, programTitle(),
            QStringLiteral("Could Not Remove The Account's Secrets From The Secret Store: ") +
                forgotten.storeError);
    if (forgotten.bookChanged)
        save();
}

bool SignInEditor::save()
{
    if (!m_save)
        return true;
    QString error;
    if (m_save(&error))
        return true;
    m_prompter.showMessage(MessageKind::Error, programTitle(),
                           QStringLiteral("Could Not Save The Sign-In Choices: ") + error);
    return false;
}
