#pragma once

#include "ui/column_widths.h"

class BatchedRowsProxy;
class MailListModel;
class MailListView;
class QWidget;

// The "Mail Window" page: the mail list with its model and column widths.
class MailPage
{
public:
    // The page's own model and the batching proxy are children of
    // modelOwner.
    MailPage(QWidget* surface, QObject* modelOwner);

    MailListView* mailListView() const { return m_listView; } // ListView1
    MailListModel* model() const { return m_model; }
    // Null returns to the page's own model.
    void setModel(MailListModel* model);
    void setColumnWidths(MailListWidths twips);
    MailListWidths columnWidths() const;
    // Check boxes and picture set follow the delete setting.
    void showCheckBoxes(bool shown);

private:
    MailListView* m_listView = nullptr;
    MailListModel* m_ownModel = nullptr;
    BatchedRowsProxy* m_proxy = nullptr;
    MailListModel* m_model = nullptr;
    MailListWidths m_columnWidths;
};
