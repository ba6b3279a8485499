#pragma once

#include "model/account_key.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

// One row of the account list.
struct AccountRow
{
    AccountKey key;
    QString displayName;
    QString userName;
    QString serverName;
    QString port; // decimal text as shown
    bool checked = false;
};

// The account list (ListView2): the working copy of the users file. Column 0
// holds the display name (editable, for renaming in place) and the check
// box; keys are unique.
class AccountListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        DisplayNameColumn,
        UserNameColumn,
        ServerNameColumn,
        PortColumn,
        FillerColumn, // empty header, only fills the remaining width
        ColumnCount
    };
    enum Role { KeyRole = Qt::UserRole + 1 }; // AccountKey

    explicit AccountListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

    // Row helpers, rows counted from 0 as in Qt.
    const QList<AccountRow>& rows() const { return m_rows; }
    const AccountRow& rowAt(int row) const { return m_rows[row]; }
    int findKey(const AccountKey& key) const;
    // The key number for a new row: the smallest one no row uses.
    int nextFreeKeyNumber() const;
    // Inserts before row (rowCount() appends); refused when the key is taken.
    bool insertAccountRow(int row, const AccountRow& account);
    bool appendAccountRow(const AccountRow& account);
    bool removeAccountRow(int row);
    void clearRows();
    // Moves the row, with its key and check state, to position to.
    bool moveAccountRow(int from, int to);
    bool moveUp(int row) { return moveAccountRow(row, row - 1); }
    bool moveDown(int row) { return moveAccountRow(row, row + 1); }
    bool moveToTop(int row) { return moveAccountRow(row, 0); }
    bool moveToBottom(int row) { return moveAccountRow(row, rowCount() - 1); }

    // The users file this list was loaded from; every later save uses it.
    QString usersFilePath() const { return m_usersFilePath; }
    void setUsersFilePath(const QString& path) { m_usersFilePath = path; }

signals:
    // The user finished editing a display name in place (row counted from
    // 1, as saveUsersFile takes it).
    void displayNameEdited(int row, const QString& newText);

private:
    bool validRow(int row) const { return row >= 0 && row < m_rows.size(); }

    QList<AccountRow> m_rows;
    QString m_usersFilePath;
};
