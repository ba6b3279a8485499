#pragma once

#include "ui/column_widths.h"

class AccountListModel;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeView;
class QWidget;

// The entry boxes of a new account on the "Usernames" page.
struct AccountEntryBoxes
{
    QLineEdit* displayName = nullptr; // Text11
    QLineEdit* username = nullptr;    // Text2
    QLineEdit* password = nullptr;    // Text3
    QLineEdit* server = nullptr;      // Text4
    QLineEdit* port = nullptr;        // Text5
};

// The "Usernames" frame: entry boxes for a new account, "Add" and "Delete",
// and the account list with its model and column widths.
class AccountsPage
{
public:
    // The page's own model is a child of modelOwner.
    AccountsPage(QWidget* surface, QObject* modelOwner);

    QGroupBox* frame() const { return m_frame; }              // Frame3
    QTreeView* accountListView() const { return m_listView; } // ListView2
    const AccountEntryBoxes& entryBoxes() const { return m_entries; }
    QPushButton* addButton() const { return m_addButton; }       // Command3
    QPushButton* deleteButton() const { return m_deleteButton; } // Command4
    QPushButton* signInButton() const { return m_signInButton; } // the selected account's sign-in

    AccountListModel* model() const { return m_model; }
    // Null returns to the page's own model.
    void setModel(AccountListModel* model);
    void setColumnWidths(AccountListWidths twips);
    AccountListWidths columnWidths() const;

private:
    QGroupBox* m_frame = nullptr;
    QTreeView* m_listView = nullptr;
    AccountEntryBoxes m_entries;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_signInButton = nullptr;
    AccountListModel* m_ownModel = nullptr;
    AccountListModel* m_model = nullptr;
    AccountListWidths m_columnWidths;
};
