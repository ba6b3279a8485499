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
        return QVariant::fromValue(item.key);
    case ImageRole:
        return QVariant::fromValue(item.image);
    case MarkRole:
        return QVariant::fromValue(item.mark);
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
    case ImageRole: {
        if (value.metaType() != QMetaType::fromType<MailImage>())
            return false;
        const auto image = value.value<MailImage>();
        if (image != MailImage::Seen && image != MailImage::New)
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

void MailListModel::setMark(int row, RowMark mark)
{
    if (!validRow(row) || m_items[row].mark == mark)
        return;
    m_items[row].mark = mark;
    emitRowChanged(row, DisplayNameColumn, DisplayNameColumn, {MarkRole});
}

void MailListModel::setImage(int row, MailImage image)
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

BatchedRowsProxy::BatchedRowsProxy(QObject* parent)
    : QAbstractProxyModel(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &BatchedRowsProxy::flush);
}

void BatchedRowsProxy::setSourceModel(QAbstractItemModel* source)
{
    beginResetModel();
    for (const auto& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_timer->stop();
    m_sinceFlush.invalidate();
    QAbstractProxyModel::setSourceModel(source);
    m_shown = source ? source->rowCount() : 0;
    if (source) {
        using M = QAbstractItemModel;
        using P = BatchedRowsProxy;
        m_connections = {
            connect(source, &M::rowsAboutToBeInserted, this, &P::sourceRowsAboutToBeInserted),
            connect(source, &M::rowsInserted, this, &P::sourceRowsInserted),
            connect(source, &M::rowsAboutToBeRemoved, this, &P::sourceRowsAboutToBeRemoved),
            connect(source, &M::rowsRemoved, this, &P::sourceRowsRemoved),
            connect(source, &M::dataChanged, this, &P::sourceDataChanged),
            connect(source, &M::headerDataChanged, this, &M::headerDataChanged),
            connect(source, &M::modelAboutToBeReset, this, &P::beginSourceReset),
            connect(source, &M::modelReset, this, &P::endSourceReset),
            // Shapes a flat list never takes: shown as a reset.
            connect(source, &M::layoutAboutToBeChanged, this, &P::beginSourceReset),
            connect(source, &M::layoutChanged, this, &P::endSourceReset),
            connect(source, &M::rowsAboutToBeMoved, this, &P::beginSourceReset),
            connect(source, &M::rowsMoved, this, &P::endSourceReset),
            connect(source, &M::columnsAboutToBeInserted, this, &P::beginSourceReset),
            connect(source, &M::columnsInserted, this, &P::endSourceReset),
            connect(source, &M::columnsAboutToBeRemoved, this, &P::beginSourceReset),
            connect(source, &M::columnsRemoved, this, &P::endSourceReset),
            connect(source, &QObject::destroyed, this,
                    [this] {
                        beginResetModel();
                        m_shown = 0;
                        m_timer->stop();
                        endResetModel();
                    }),
        };
    }
    endResetModel();
}

void BatchedRowsProxy::flush()
{
    m_timer->stop();
    m_sinceFlush.start();
    const int total = sourceModel() ? sourceModel()->rowCount() : 0;
    if (total <= m_shown)
        return;
    beginInsertRows({}, m_shown, total - 1);
    m_shown = total;
    endInsertRows();
}

int BatchedRowsProxy::pendingRows() const
{
    return sourceModel() ? sourceModel()->rowCount() - m_shown : 0;
}

void BatchedRowsProxy::schedule()
{
    if (!m_sinceFlush.isValid() || m_sinceFlush.elapsed() >= m_intervalMs)
        flush();
    else if (!m_timer->isActive())
        m_timer->start(int(m_intervalMs - m_sinceFlush.elapsed()));
}

void BatchedRowsProxy::sourceRowsAboutToBeInserted(const QModelIndex& parent, int first, int last)
{
    m_forwardedLast = -1;
    if (parent.isValid() || first >= m_shown)
        return; // pending rows stay together at the end
    beginInsertRows({}, first, last);
    m_forwardedLast = last;
}

void BatchedRowsProxy::sourceRowsInserted(const QModelIndex& parent, int first, int last)
{
    if (parent.isValid())
        return;
    if (m_forwardedLast < 0) {
        schedule();
        return;
    }
    m_shown += last - first + 1;
    m_forwardedLast = -1;
    endInsertRows();
}

void BatchedRowsProxy::sourceRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last)
{
    m_forwardedLast = -1;
    if (parent.isValid() || first >= m_shown)
        return; // pending rows leave unseen
    m_forwardedLast = std::min(last, m_shown - 1);
    beginRemoveRows({}, first, m_forwardedLast);
}

void BatchedRowsProxy::sourceRowsRemoved(const QModelIndex& parent, int first, int)
{
    if (parent.isValid() || m_forwardedLast < 0)
        return;
    m_shown -= m_forwardedLast - first + 1;
    m_forwardedLast = -1;
    endRemoveRows();
}

void BatchedRowsProxy::sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                         const QList<int>& roles)
{
    if (topLeft.parent().isValid() || topLeft.row() >= m_shown)
        return;
    const int bottom = std::min(bottomRight.row(), m_shown - 1);
    emit dataChanged(index(topLeft.row(), topLeft.column()), index(bottom, bottomRight.column()),
                     roles);
}

void BatchedRowsProxy::beginSourceReset()
{
    beginResetModel();
    m_timer->stop();
}

void BatchedRowsProxy::endSourceReset()
{
    m_shown = sourceModel() ? sourceModel()->rowCount() : 0;
    m_sinceFlush.invalidate(); // the first row after a reset shows at once
    endResetModel();
}

QModelIndex BatchedRowsProxy::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || row >= m_shown || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex BatchedRowsProxy::parent(const QModelIndex&) const
{
    return {};
}

int BatchedRowsProxy::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

int BatchedRowsProxy::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !sourceModel() ? 0 : sourceModel()->columnCount();
}

bool BatchedRowsProxy::hasChildren(const QModelIndex& parent) const
{
    return !parent.isValid() && m_shown > 0;
}

QModelIndex BatchedRowsProxy::mapToSource(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid() || !sourceModel())
        return {};
    return sourceModel()->index(proxyIndex.row(), proxyIndex.column());
}

QModelIndex BatchedRowsProxy::mapFromSource(const QModelIndex& sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.parent().isValid())
        return {};
    return index(sourceIndex.row(), sourceIndex.column());
}

QVariant BatchedRowsProxy::headerData(int section, Qt::Orientation orientation, int role) const
{
    return sourceModel() ? sourceModel()->headerData(section, orientation, role) : QVariant();
}
