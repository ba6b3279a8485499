#pragma once

#include <QComboBox>

// A combo box whose current entry, when wider than the box (a large text
// font), ends in an ellipsis instead of being cut off mid-letter. The whole
// entries show in its drop-down list.
class ElidingComboBox : public QComboBox
{
public:
    using QComboBox::QComboBox;

    // The text the box paints for its current entry, and the room for it.
    QString displayedText() const;
    int textRoom() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int textRoom(const QStyleOptionComboBox& option) const;
};
