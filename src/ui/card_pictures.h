#pragma once

#include <QIcon>
#include <QPixmap>

// The small pictures of the window, drawn at run time: a white card with
// text lines (the mail-list row pictures and the window icon).
namespace CardPictures {

// The two picture sets of the mail list. Set 1 (16 x 16, list without
// check boxes): image 1 the plain card, image 2 the card with a red bar
// down its right edge. Set 2 (2 x 16, list with check boxes): image 1
// empty, image 2 the red bar alone. Any other number gives a null pixmap.
enum PictureSet { CardSet = 1, BarSet = 2 };
QPixmap mailPicture(int pictureSet, int image);

// The picture of the date style chooser's entries.
QPixmap dateStylePicture();

// The window icon (and tray icon): 32 x 32 and 16 x 16 cards with black
// text lines and a small red mark.
QIcon windowIcon();

} // namespace CardPictures
