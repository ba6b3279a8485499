#pragma once

class MainWindow;
class QString;

// Pictures of every page and dialog of the window after a demo check, each
// taken from the screen (window manager frame included) into folder, named
// prefix + page + ".png". The check runs here; false when a picture cannot
// be taken or written.
bool takeGallery(MainWindow& window, const QString& folder, const QString& prefix);
