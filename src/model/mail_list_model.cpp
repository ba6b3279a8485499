#include "model/mail_list_model.h"

namespace {

const char* const kHeaders[MailListModel::ColumnCount] = {
    " Display Name", "Username", "From", "Subject", "Date Sent", "Server", "Port"};

const QString& columnText(const MailItem& item, int column)
{
    switch (column) {
    case MailListModel::DisplayNameColumn:
        return item.displayName;
    case MailListModel::UserNameColumn:
        return item.userName;
    case MailListModel::FromColumn:
        return item.from;
    case MailListModel::SubjectColumn:
        return item.subject;
    case MailListModel::DateSentColumn:
        return item.dateSent;
    case MailListModel::ServerColumn:
        return item.server;
    default:
        return item.port;
    }
}

bool isCheckedValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return value.toInt() == Qt::Checked;
}

} // namespace

MailListModel::MailListModel(QObject* parent) : QAbstractTableModel(parent) {}

int MailListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

int MailListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MailListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !validRow(index.row()))
        return {};
    const MailItem& item = m_items[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return columnText(item, index.column());
    case Qt::CheckStateRole:
        if (index.column() != DisplayNameColumn || !m_checkBoxesShown)
            return {};
        return item.checked ? Qt::Checked : Qt::Unchecked;
    case KeyRole:
        return item.key;
    case ImageRole:
        return item.image;
    default:
        return {};
    }
}

bool MailListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || !validRow(index.row()))
        return false;
    switch (role) {
    case Qt::CheckStateRole:
        if (index.column() != DisplayNameColumn)
            return false;
        setChecked(index.row(), isCheckedValue(value));
        return true;
    case KeyRole:
        setKey(index.row(), value.toString());
        return true;
    case ImageRole: {
        bool ok = false;
        const int image = value.toInt(&ok);
        if (!ok || (image != MailItem::SeenImage && image != MailItem::NewImage))
            return false;
        setImage(index.row(), image);
        return true;
    }
    default:
        return false;
    }
}

Qt::ItemFlags MailListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == DisplayNameColumn && m_checkBoxesShown)
        result |= Qt::ItemIsUserCheckable;
    return result;
}

QVariant MailListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return QString::fromLatin1(kHeaders[section]);
}

void MailListModel::appendItem(const MailItem& item)
{
    const int row = int(m_items.size());
    beginInsertRows({}, row, row);
    m_items.append(item);
    endInsertRows();
}

void MailListModel::appendItems(const QVector<MailItem>& items)
{
    if (items.isEmpty())
        return;
    const int row = int(m_items.size());
    beginInsertRows({}, row, row + int(items.size()) - 1);
    m_items.append(items);
    endInsertRows();
}

void MailListModel::setKey(int row, const QString& key)
{
    if (!validRow(row) || m_items[row].key == key)
        return;
    m_items[row].key = key;
    emitRowChanged(row, DisplayNameColumn, DisplayNameColumn, {KeyRole});
}

void MailListModel::setImage(int row, int image)
{
    if (!validRow(row) || m_items[row].image == image)
        return;
    m_items[row].image = image;
    emitRowChanged(row, DisplayNameColumn, DisplayNameColumn, {ImageRole, Qt::DecorationRole});
}

void MailListModel::setChecked(int row, bool checked)
{
    if (!validRow(row) || m_items[row].checked == checked)
        return;
    m_items[row].checked = checked;
    emitRowChanged(row, DisplayNameColumn, DisplayNameColumn, {Qt::CheckStateRole});
}

void MailListModel::clearItems()
{
    beginResetModel();
    m_items.clear();
    endResetModel();
}

void MailListModel::removeItemAt(int row)
{
    if (!validRow(row))
        return;
    beginRemoveRows({}, row, row);
    m_items.removeAt(row);
    endRemoveRows();
}

void MailListModel::setCheckBoxesShown(bool shown)
{
    if (m_checkBoxesShown == shown)
        return;
    m_checkBoxesShown = shown;
    if (!m_items.isEmpty())
        emit dataChanged(index(0, DisplayNameColumn),
                         index(int(m_items.size()) - 1, DisplayNameColumn), {Qt::CheckStateRole});
}

void MailListModel::emitRowChanged(int row, int firstColumn, int lastColumn,
                                   const QList<int>& roles)
{
    emit dataChanged(index(row, firstColumn), index(row, lastColumn), roles);
}
