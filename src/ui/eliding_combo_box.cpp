#include "ui/eliding_combo_box.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

int ElidingComboBox::textRoom(const QStyleOptionComboBox& option) const
{
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    // The style puts the entry's picture and a small gap before the text.
    const int picture = option.currentIcon.isNull() ? 0 : option.iconSize.width() + 4;
    return field.width() - picture;
}

int ElidingComboBox::textRoom() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return textRoom(option);
}

QString ElidingComboBox::displayedText() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return fontMetrics().elidedText(option.currentText, Qt::ElideRight, textRoom(option));
}

void ElidingComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText =
        fontMetrics().elidedText(option.currentText, Qt::ElideRight, textRoom(option));
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
