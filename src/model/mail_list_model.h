#pragma once

#include "model/mail_item.h"

#include <QAbstractProxyModel>
#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>
#include <QVector>

// The mail list: one MailItem per row, seven columns. The check box lives
// in column 0; the new/seen image is a role of its own, drawn by the
// window.
class MailListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        DisplayNameColumn,
        UserNameColumn,
        FromColumn,
        SubjectColumn,
        DateSentColumn,
        ServerColumn,
        PortColumn,
        ColumnCount
    };
    enum Role {
        KeyRole = Qt::UserRole + 1, // AccountKey
        ImageRole,                  // MailImage
        MarkRole,                   // RowMark
    };

    explicit MailListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    int itemCount() const { return int(m_items.size()); }
    const MailItem& item(int row) const { return m_items[row]; }

    // Room for this many rows in all, so a long listing grows without
    // moving the rows again and again.
    void reserveItems(int count) { m_items.reserve(count); }
    void appendItem(const MailItem& item);
    void appendItems(const QVector<MailItem>& items);
    void setMark(int row, RowMark mark);
    void setImage(int row, MailImage image);
    void setChecked(int row, bool checked);
    void clearItems();
    void removeItemAt(int row);

    // While off, column 0 offers no check box (no check-state data, not
    // user-checkable); each row's check state is kept all the same and may
    // still be set.
    bool checkBoxesShown() const { return m_checkBoxesShown; }
    void setCheckBoxesShown(bool shown);

private:
    bool validRow(int row) const { return row >= 0 && row < m_items.size(); }
    void emitRowChanged(int row, int firstColumn, int lastColumn, const QList<int>& roles);

    QVector<MailItem> m_items;
    bool m_checkBoxesShown = false;
};

// Sits between a flat list model and its view and shows rows appended at
// the end in batches, at most one batch per interval. Every row inserted
// into a view costs a relayout and a repaint of the whole list, so a check
// that appends thousands of rows one message at a time would otherwise
// spend its time drawing. The source model stays exact at all times; only
// what the view sees lags, by at most the interval. Removals, resets and
// changes of rows already shown pass through at once.
class BatchedRowsProxy : public QAbstractProxyModel
{
    Q_OBJECT

public:
    explicit BatchedRowsProxy(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;
    void setBatchInterval(int ms) { m_intervalMs = ms; }
    int batchInterval() const { return m_intervalMs; }
    // Shows every pending row now.
    void flush();
    int pendingRows() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void sourceRowsAboutToBeInserted(const QModelIndex& parent, int first, int last);
    void sourceRowsInserted(const QModelIndex& parent, int first, int last);
    void sourceRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    void sourceRowsRemoved(const QModelIndex& parent, int first, int last);
    void sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                           const QList<int>& roles);
    void beginSourceReset();
    void endSourceReset();
    void schedule();

    QList<QMetaObject::Connection> m_connections;
    QTimer* m_timer;
    QElapsedTimer m_sinceFlush;
    int m_intervalMs = 200;
    int m_shown = 0;
    int m_forwardedLast = -1; // last source row of a forwarded insert or removal
};
