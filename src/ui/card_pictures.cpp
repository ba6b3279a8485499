#include "ui/card_pictures.h"

#include <QPainter>

namespace CardPictures {
namespace {

const QColor CardRed(0xD0, 0x10, 0x10);

QPixmap transparentPixmap(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A card of the given size at the top-left of the painter's area, scaled
// from a 16-pixel design: border, three text lines, red mark top right.
void drawCard(QPainter& painter, int size, const QColor& lineColour, const QColor& borderColour)
{
    const qreal unit = size / 16.0;
    const QRectF card(1 * unit, 2 * unit, 12 * unit, 12 * unit);
    painter.setPen(QPen(borderColour, unit, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::white);
    painter.drawRect(card.adjusted(unit / 2, unit / 2, -unit / 2, -unit / 2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(lineColour);
    for (int line = 0; line < 3; ++line)
        painter.drawRect(QRectF(3 * unit, (6 + 2 * line) * unit, 6 * unit, unit));
    painter.setBrush(CardRed);
    painter.drawRect(QRectF(10 * unit, 4 * unit, 2 * unit, 2 * unit));
}

void drawRightBar(QPainter& painter, int x)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(CardRed);
    painter.drawRect(QRect(x, 2, 2, 12));
}

} // namespace

QPixmap mailPicture(int pictureSet, int image)
{
    if (image != 1 && image != 2)
        return {};
    if (pictureSet == CardSet) {
        QPixmap pixmap = transparentPixmap(16, 16);
        QPainter painter(&pixmap);
        drawCard(painter, 16, Qt::gray, Qt::gray);
        if (image == 2)
            drawRightBar(painter, 14);
        return pixmap;
    }
    if (pictureSet == BarSet) {
        QPixmap pixmap = transparentPixmap(2, 16);
        if (image == 2) {
            QPainter painter(&pixmap);
            drawRightBar(painter, 0);
        }
        return pixmap;
    }
    return {};
}

QPixmap dateStylePicture()
{
    QPixmap pixmap = transparentPixmap(16, 16);
    QPainter painter(&pixmap);
    drawCard(painter, 16, Qt::gray, Qt::gray);
    return pixmap;
}

QIcon windowIcon()
{
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pixmap = transparentPixmap(size, size);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing, false);
        drawCard(painter, size, Qt::black, Qt::darkGray);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace CardPictures
