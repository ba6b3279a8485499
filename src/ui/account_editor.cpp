#include "ui/account_editor.h"

#include "model/account_list_model.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "runs/account_store.h"
#include "storage/account_record.h"
#include "storage/scramble.h"
#include "ui/accounts_page.h"
#include "ui/mainwindow.h"
#include "ui/secret_entry.h"

#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeView>

namespace {

const QString defaultPort = QStringLiteral("110");

} // namespace

AccountEditor::AccountEditor(MainWindow& form, AccountListModel& accounts, Prompter& prompter,
                             QObject* parent)
    : QObject(parent), m_accounts(accounts), m_prompter(prompter),
      m_listView(form.accountListView()), m_menu(form.menus().accountList.menu),
      m_entries(form.accountsPage().entryBoxes()), m_beep([] { QApplication::beep(); })
{
    if (form.accountListModel() != &accounts)
        form.setAccountListModel(&accounts);

    const AccountListMenu& menu = form.menus().accountList;
    connect(form.accountsPage().addButton(), &QPushButton::clicked, this,
            &AccountEditor::addAccount);
    connect(form.accountsPage().deleteButton(), &QPushButton::clicked, this,
            &AccountEditor::deleteSelected);
    connect(menu.deleteSelected, &QAction::triggered, this, &AccountEditor::deleteSelected);
    connect(menu.moveUp, &QAction::triggered, this, &AccountEditor::moveUp);
    connect(menu.moveDown, &QAction::triggered, this, &AccountEditor::moveDown);
    connect(menu.moveToTop, &QAction::triggered, this, &AccountEditor::moveToTop);
    connect(menu.moveToBottom, &QAction::triggered, this, &AccountEditor::moveToBottom);
    connect(&m_accounts, &AccountListModel::displayNameEdited, this, &AccountEditor::saveRenamed);
    connect(m_entries.port, &QLineEdit::textChanged, this, &AccountEditor::checkPortText);
    m_listView->viewport()->installEventFilter(this);
}

bool AccountEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_listView->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* release = static_cast<QMouseEvent*>(event);
        if (release->button() == Qt::RightButton)
            m_menu->popup(release->globalPosition().toPoint());
    }
    return QObject::eventFilter(watched, event);
}

// --- Add -------------------------------------------------------------------

QString AccountEditor::validationMessage() const
{
    // Every test is made; the last one that fails is the one shown.
    QString message;
    if (trimSpaces(m_entries.username->text()).isEmpty())
        message = QStringLiteral("No Username Was Entered In TextBox");
    if (trimSpaces(m_entries.password->text()).isEmpty())
        message = QStringLiteral("No Password Was Entered In TextBox");
    if (trimSpaces(m_entries.server->text()).isEmpty())
        message = QStringLiteral("No Server Name Was Entered In TextBox");
    if (trimSpaces(m_entries.port->text()).isEmpty())
        message = QStringLiteral("No Port No. Was Entered In TextBox");
    return message;
}

bool AccountEditor::isDuplicate() const
{
    // Exact text comparisons: a port typed "0110" differs from "110".
    const QString port = trimSpaces(m_entries.port->text());
    for (const AccountRow& row : m_accounts.rows()) {
        if (row.userName == m_entries.username->text() &&
            row.serverName == m_entries.server->text() && row.port == port)
            return true;
    }
    return false;
}

bool AccountEditor::addAccount()
{
    const QString invalid = validationMessage();
    if (!invalid.isEmpty()) {
        m_prompter.showMessage(MessageKind::Warning, programTitle(), invalid);
        return false;
    }
    // User and server names are not case-sensitive; the password is, so it
    // is kept as typed.
    m_entries.username->setText(trimSpaces(m_entries.username->text()).toLower());
    m_entries.password->setText(trimSpaces(m_entries.password->text()));
    m_entries.server->setText(trimSpaces(m_entries.server->text()).toLower());
    if (isDuplicate()) {
        m_prompter.showMessage(MessageKind::Warning, programTitle(),
                               QStringLiteral("Identical Username / Server Name / Port No. "
                                              "Already On List"));
        return false;
    }
    if (!appendAccount()) {
        m_prompter.showMessage(MessageKind::Error, programTitle(),
                               QStringLiteral("An Error Occurred Adding Username Info To List"));
        return false;
    }
    m_entries.displayName->clear();
    m_entries.username->clear();
    m_entries.password->clear();
    return true;
}

bool AccountEditor::appendAccount()
{
    AccountRecord record;
    const QString port = trimSpaces(m_entries.port->text());
    bool portOk = false;
    record.port = port.toInt(&portOk);
    if (!portOk)
        return false;
    record.displayName = trimSpaces(m_entries.displayName->text());
    record.userName = m_entries.username->text();
    record.scrambledPassword = scramblePassword(m_entries.password->text());
    record.serverName = m_entries.server->text();
    record.checked = 0;

    AccountRow row;
    row.key = {m_accounts.nextFreeKeyNumber(), m_entries.password->text()};
    row.displayName = record.displayName;
    row.userName = record.userName;
    row.serverName = record.serverName;
    row.port = port;
    // A row whose file append fails stays listed: the next save of the
    // whole list writes it.
    return m_accounts.appendAccountRow(row) && appendAccountRecord(m_accounts, record);
}

// --- Delete, moves, rename ---------------------------------------------------

int AccountEditor::selectedRow() const
{
    const QItemSelectionModel* selection = m_listView->selectionModel();
    if (!selection)
        return 0;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

void AccountEditor::selectRow(int row)
{
    const QModelIndex index = m_accounts.index(row - 1, 0);
    m_listView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
}

void AccountEditor::deleteSelected()
{
    // With rows but none selected there is nothing to delete: no question.
    const int row = selectedRow();
    if (m_accounts.rowCount() == 0 || row == 0)
        return;
    const QString question =
        QStringLiteral("Confirm: Delete Username .. ") + m_accounts.rowAt(row - 1).userName;
    if (!m_prompter.askYesNo(programTitle(), question))
        return;
    const AccountRow removed = m_accounts.rowAt(row - 1);
    m_accounts.removeAccountRow(row - 1);
    saveUsersFile(m_accounts, QString(), 0, m_prompter);
    emit accountDeleted({removed.serverName, removed.port.toInt(), removed.userName});
}

void AccountEditor::moveUp()
{
    move(Move::Up);
}

void AccountEditor::moveDown()
{
    move(Move::Down);
}

void AccountEditor::moveToTop()
{
    move(Move::ToTop);
}

void AccountEditor::moveToBottom()
{
    move(Move::ToBottom);
}

void AccountEditor::move(Move kind)
{
    const int count = m_accounts.rowCount();
    const int i = selectedRow();
    if (count < 2 || i == 0)
        return;
    int target = 0;
    switch (kind) {
    case Move::Up:
        target = i > 1 ? i - 1 : 0;
        break;
    case Move::Down:
        target = i < count ? i + 1 : 0;
        break;
    case Move::ToTop:
        target = i != 1 ? 1 : 0;
        break;
    case Move::ToBottom:
        target = i < count ? count : 0;
        break;
    }
    if (target == 0)
        return;
    // The key, the texts and the check box travel with the row.
    m_accounts.moveAccountRow(i - 1, target - 1);
    selectRow(target);
    saveUsersFile(m_accounts, QString(), 0, m_prompter);
}

void AccountEditor::saveRenamed(int row, const QString& newText)
{
    // Only a committed edit reaches here; a cancelled one leaves the name and
    // the file as they were.
    saveUsersFile(m_accounts, newText, row, m_prompter);
}

// --- Port box ----------------------------------------------------------------

void AccountEditor::checkPortText()
{
    const QString text = m_entries.port->text();
    if (text.isEmpty())
        return;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t code = text.at(i).unicode();
        if (code >= u'0' && code <= u'9')
            continue;
        if (i == 0 && code == u'-')
            return;
        // Setting the text runs this check again, which then passes.
        m_entries.port->setText(defaultPort);
        m_beep();
        return;
    }
    bool fits = false;
    text.toInt(&fits);
    if (!fits) {
        m_entries.port->setText(defaultPort);
        m_beep();
    }
}
