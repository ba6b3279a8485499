#pragma once

#include "runs/mailbox_key.h"
#include "ui/accounts_page.h"

#include <QObject>
#include <QString>
#include <functional>

class AccountListModel;
class MainWindow;
class Prompter;
class QLineEdit;
class QMenu;
class QTreeView;

// The actions of the "Configure Usernames" page: adding an account from the
// entry boxes, deleting, moving and renaming rows of the account list, and
// the port box check. Every change reaches the users file at once.
class AccountEditor : public QObject
{
    Q_OBJECT

public:
    // The form is pointed at the given account list if it shows another.
    AccountEditor(MainWindow& form, AccountListModel& accounts, Prompter& prompter,
                  QObject* parent = nullptr);

    // The sound of a refused port text; QApplication::beep unless replaced.
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }

    // Command3: validates, normalises and appends the account in the boxes.
    // True when the account was added to the list and the file.
    bool addAccount();
    // Command4 and mnuDelete: removes the selected row after a confirmation.
    void deleteSelected();
    // The four moves of the pop-up menu; the moved row stays selected.
    void moveUp();
    void moveDown();
    void moveToTop();
    void moveToBottom();
    // A display name edited in place: row counted from 1.
    void saveRenamed(int row, const QString& newText);
    // Text5 on every change: anything but digits (a leading "-" aside) or a
    // number too large for 32 bits turns the text into "110" with a beep.
    void checkPortText();

    // The selected row (from 1), 0 when none.
    int selectedRow() const;
    void selectRow(int row);

signals:
    // A row was deleted: its mailbox, as server, port and user name.
    void accountDeleted(const MailboxKey& mailbox);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Move { Up, Down, ToTop, ToBottom };
    void move(Move kind);
    QString validationMessage() const;
    bool isDuplicate() const;
    bool appendAccount();

    AccountListModel& m_accounts;
    Prompter& m_prompter;
    QTreeView* m_listView; // ListView2
    QMenu* m_menu;
    AccountEntryBoxes m_entries;
    std::function<void()> m_beep;
};
