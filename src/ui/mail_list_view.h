#pragma once

#include <QTreeView>

// Report-style list settings shared by both lists: full-row selection, one
// selected row, no tree decoration, no sorting by header clicks.
void configureReportList(QTreeView* view);

// The mail list (ListView1): draws each row's new/seen picture from the
// model's image role, from the card pictures while the list shows no check
// boxes and from the bar pictures while it does.
class MailListView : public QTreeView
{
    Q_OBJECT

public:
    explicit MailListView(QWidget* parent = nullptr);

    // 1 = the card pictures, 2 = the bar pictures (CardPictures::PictureSet).
    int pictureSet() const { return m_pictureSet; }
    void setPictureSet(int pictureSet);

    // The picture the list draws for a row, null when the row has none.
    QPixmap rowPicture(int row) const;

private:
    int m_pictureSet = 1;
    QPixmap m_pictures[2]; // images 1 and 2 of the current set
};
