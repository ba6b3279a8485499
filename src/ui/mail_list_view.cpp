#include "ui/mail_list_view.h"

#include "model/mail_list_model.h"
#include "ui/card_pictures.h"

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace {

// Puts the row picture into the first column's decoration.
class RowPictureDelegate : public QStyledItemDelegate
{
public:
    explicit RowPictureDelegate(MailListView* view) : QStyledItemDelegate(view), m_view(view) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() != 0)
            return;
        const QPixmap picture = m_view->rowPicture(index.row());
        if (picture.isNull())
            return;
        option->icon = QIcon(picture);
        option->decorationSize = picture.size();
        option->features |= QStyleOptionViewItem::HasDecoration;
    }

private:
    MailListView* m_view;
};

} // namespace

void configureReportList(QTreeView* view)
{
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setSortingEnabled(false);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setAllColumnsShowFocus(true);
    view->header()->setSectionsClickable(false);
    view->header()->setStretchLastSection(false);
    view->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

MailListView::MailListView(QWidget* parent) : QTreeView(parent)
{
    configureReportList(this);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new RowPictureDelegate(this));
    setPictureSet(CardPictures::CardSet);
}

void MailListView::setPictureSet(int pictureSet)
{
    if (pictureSet != CardPictures::CardSet && pictureSet != CardPictures::BarSet)
        return;
    m_pictureSet = pictureSet;
    m_pictures[0] = CardPictures::mailPicture(pictureSet, 1);
    m_pictures[1] = CardPictures::mailPicture(pictureSet, 2);
    viewport()->update();
}

QPixmap MailListView::rowPicture(int row) const
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return {};
    const QVariant image = model()->index(row, 0).data(MailListModel::ImageRole);
    if (image.metaType() != QMetaType::fromType<MailImage>())
        return {};
    return m_pictures[image.value<MailImage>() == MailImage::Seen ? 0 : 1];
}
