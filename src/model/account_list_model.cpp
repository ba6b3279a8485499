#include "model/account_list_model.h"

#include <QSet>

AccountListModel::AccountListModel(QObject* parent) : QAbstractTableModel(parent) {}

int AccountListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int AccountListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AccountListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !validRow(index.row()))
        return {};
    const AccountRow& account = m_rows[index.row()];
    if (role == KeyRole)
        return QVariant::fromValue(account.key);
    if (role == Qt::CheckStateRole && index.column() == DisplayNameColumn)
        return account.checked ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (index.column()) {
    case DisplayNameColumn:
        return account.displayName;
    case UserNameColumn:
        return account.userName;
    case ServerNameColumn:
        return account.serverName;
    case PortColumn:
        return account.port;
    default:
        return QString();
    }
}

bool AccountListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || !validRow(index.row()) || index.column() != DisplayNameColumn)
        return false;
    AccountRow& account = m_rows[index.row()];
    if (role == Qt::CheckStateRole) {
        account.checked = value.toInt() == Qt::Checked;
        emit dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }
    if (role == Qt::EditRole) {
        account.displayName = value.toString();
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
        emit displayNameEdited(index.row() + 1, account.displayName);
        return true;
    }
    return false;
}

Qt::ItemFlags AccountListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == DisplayNameColumn)
        f |= Qt::ItemIsUserCheckable | Qt::ItemIsEditable;
    return f;
}

QVariant AccountListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case DisplayNameColumn:
        return QStringLiteral(" Display Name");
    case UserNameColumn:
        return QStringLiteral("Username");
    case ServerNameColumn:
        return QStringLiteral("Server Name");
    case PortColumn:
        return QStringLiteral("Port No.");
    case FillerColumn:
        return QString();
    default:
        return {};
    }
}

bool AccountListModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || count < 1 || row < 0 || row + count > m_rows.size())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    m_rows.remove(row, count);
    endRemoveRows();
    return true;
}

int AccountListModel::findKey(const AccountKey& key) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].key == key)
            return i;
    }
    return -1;
}

bool AccountListModel::insertAccountRow(int row, const AccountRow& account)
{
    if (row < 0 || row > m_rows.size() || findKey(account.key) >= 0)
        return false;
    beginInsertRows({}, row, row);
    m_rows.insert(row, account);
    endInsertRows();
    return true;
}

bool AccountListModel::appendAccountRow(const AccountRow& account)
{
    return insertAccountRow(int(m_rows.size()), account);
}

bool AccountListModel::removeAccountRow(int row)
{
    return removeRows(row, 1);
}

void AccountListModel::clearRows()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

bool AccountListModel::moveAccountRow(int from, int to)
{
    if (!validRow(from) || !validRow(to) || from == to)
        return false;
    // Qt names the destination as the row the moved one goes before.
    const int before = to > from ? to + 1 : to;
    beginMoveRows({}, from, from, {}, before);
    m_rows.move(from, to);
    endMoveRows();
    return true;
}

int AccountListModel::nextFreeKeyNumber() const
{
    QSet<int> used;
    for (const AccountRow& account : m_rows)
        used.insert(account.key.number);
    int candidate = 1;
    while (used.contains(candidate))
        ++candidate;
    return candidate;
}
