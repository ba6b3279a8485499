#include "ui/mail_page.h"

#include "model/mail_list_model.h"
#include "ui/card_pictures.h"
#include "ui/mail_list_view.h"
#include "ui/window_controls.h"

MailPage::MailPage(QWidget* surface, QObject* modelOwner)
    : m_ownModel(new MailListModel(modelOwner)), m_proxy(new BatchedRowsProxy(modelOwner)),
      m_columnWidths(defaultMailColumnWidths())
{
    m_listView =
        makeControl<MailListView>(surface, QStringLiteral("ListView1"), {150, 435, 5325, 3690});
    m_listView->setAccessibleName(QStringLiteral("Mail"));
}

void MailPage::setModel(MailListModel* model)
{
    m_model = model ? model : m_ownModel;
    // Rows arriving one per message are shown in batches: a view that lays
    // itself out again for every single row stalls the window.
    m_proxy->setSourceModel(m_model);
    m_listView->setModel(m_proxy);
    setColumnWidths(m_columnWidths);
}

void MailPage::setColumnWidths(MailListWidths twips)
{
    m_columnWidths = applyColumnWidths(m_listView, twips, defaultMailColumnWidths());
}

MailListWidths MailPage::columnWidths() const
{
    return readColumnWidths<MailListWidths>(m_listView);
}

void MailPage::showCheckBoxes(bool shown)
{
    m_model->setCheckBoxesShown(shown);
    m_listView->setPictureSet(shown ? CardPictures::BarSet : CardPictures::CardSet);
}
