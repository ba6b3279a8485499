#pragma once

#include "model/mail_item.h"

#include <QAbstractTableModel>
#include <QVector>

// The mail list: one MailItem per row, seven columns. The check box lives
// in column 0; the new/seen image number is a role of its own, drawn by
// the window.
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
        KeyRole = Qt::UserRole + 1,
        ImageRole, // 1 seen, 2 new
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

    void appendItem(const MailItem& item);
    void appendItems(const QVector<MailItem>& items);
    void setKey(int row, const QString& key);
    void setImage(int row, int image);
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
