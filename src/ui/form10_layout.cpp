// Resize rules, the log box's place and the window's placement.
#include "ui/form10.h"
#include "ui/mail_list_view.h"
#include "ui/system_colours.h"
#include "ui/tab_strip.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QTreeView>

namespace {

double twipsOf(int pixels)
{
    return pixelsToTwips(pixels);
}

void setSizeTwips(QWidget* widget, double width, double height)
{
    widget->resize(qMax(0, twipsToPixels(width)), qMax(0, twipsToPixels(height)));
}

// The last column is given the list's full width, so it always reaches past
// the right edge.
void stretchLastColumn(QTreeView* view, int column)
{
    if (view->model() && column < view->model()->columnCount())
        view->setColumnWidth(column, view->width());
}

} // namespace

void Form10::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    applyLayout();
}

void Form10::enforceMinimumSize()
{
    const QSize frameExtra = frameGeometry().size() - size();
    const QSize minimumClient(twipsToPixels(MinimumOuterWidth) - frameExtra.width(),
                              twipsToPixels(MinimumOuterHeight) - frameExtra.height());
    setMinimumSize(minimumClient);
    if (width() < minimumClient.width() || height() < minimumClient.height())
        resize(size().expandedTo(minimumClient));
}

void Form10::applyLayout()
{
    if (isMinimized() || m_inLayout || !m_frame1 || !m_frame3 || !m_listView2)
        return;
    m_inLayout = true;
    enforceMinimumSize();

    const double sw = twipsOf(width());
    const double sh = twipsOf(height());
    const double e = m_pageColour == SystemColour::WindowBackground ? 30 : 0;

    setSizeTwips(m_tabStrip, sw - 105, sh - 810);
    setSizeTwips(m_listView1, sw - (e + 315), sh - (e + 1305));
    stretchLastColumn(m_listView1, 6);
    setSizeTwips(m_frame3, sw - (e + 300), sh - (e + 1275));
    setSizeTwips(m_frame1, sw - (e + 300), sh - (e + 1275));

    const double frame1Width = twipsOf(m_frame1->width());
    const double frame1Height = twipsOf(m_frame1->height());
    const QPoint pageTopLeft(twipsToPixels((frame1Width - twipsOf(m_pages[0]->width())) / 2),
                             twipsToPixels((frame1Height - twipsOf(m_pages[0]->height())) / 2));
    for (QGroupBox* page : m_pages)
        page->move(pageTopLeft);

    setSizeTwips(m_listView2, twipsOf(m_frame3->width()) - 2025, twipsOf(m_frame3->height()) - 285);
    stretchLastColumn(m_listView2, 4);

    for (QWidget* control : m_bottomRow)
        control->move(control->x(), twipsToPixels(sh - 690));
    placeLogBox();
    m_picture7->move(twipsToPixels(sw - 690), m_picture7->y());

    rememberPlacement();
    m_inLayout = false;
}

void Form10::placeLogBox()
{
    const double left = twipsOf(m_frame1->x());
    const double top = twipsOf(m_frame1->y());
    const double width = twipsOf(m_frame1->width());
    const double height = twipsOf(m_frame1->height());
    const TwipsRect place = m_logSplit != 0
                                ? TwipsRect{left + width / 2, top + 15, width / 2, height - 30}
                                : TwipsRect{left, top + 15, width, height - 30};
    m_text1->setGeometry(twipsRect(place.left, place.top, place.width, place.height));
}

void Form10::setLogSplit(std::int16_t split)
{
    m_logSplit = split;
    placeLogBox();
}

void Form10::flipLogSplit()
{
    setLogSplit(m_logSplit != 0 ? 0 : 1);
}

void Form10::toggleLogBox()
{
    if (m_text1->isVisible()) {
        m_text1->hide();
        return;
    }
    placeLogBox();
    m_text1->show();
    m_text1->raise();
}

void Form10::rememberPlacement()
{
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QRect outer = frameGeometry();
    m_placement = {twipsOf(outer.x()), twipsOf(outer.y()), twipsOf(outer.width()),
                   twipsOf(outer.height())};
}

TwipsRect Form10::firstRunPlacement(std::optional<TwipsRect> workArea)
{
    if (!workArea)
        return {60.0 * TwipsPerPixel, 60.0 * TwipsPerPixel, 6600, 5400};
    TwipsRect placed{0, 0, 10230, 5265};
    if (workArea->width < 10230)
        placed.width = workArea->width - 1800;
    if (workArea->height < 5265)
        placed.height = workArea->height - 1200;
    placed.left = (workArea->width - placed.width) / 2 + workArea->left;
    placed.top = (workArea->height - placed.height) / 2 + workArea->top;
    return placed;
}

std::optional<TwipsRect> Form10::currentWorkArea()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || screen->availableGeometry().isEmpty())
        return std::nullopt;
    const QRect area = screen->availableGeometry();
    return TwipsRect{twipsOf(area.x()), twipsOf(area.y()), twipsOf(area.width()),
                     twipsOf(area.height())};
}

TwipsRect Form10::checkStoredPosition(TwipsRect stored, double screenWidth, double screenHeight)
{
    // "Not at least 0" also catches a stored value that is not a number.
    if (!(stored.left >= 0) || stored.left > screenWidth - 3000)
        stored.left = 0;
    if (!(stored.top >= 0) || stored.top > screenHeight - 3000)
        stored.top = 0;
    return stored;
}

void Form10::placeWindow(const TwipsRect& placement)
{
    const QSize frameExtra = frameGeometry().size() - size();
    move(twipsToPixels(placement.left), twipsToPixels(placement.top));
    resize(twipsToPixels(placement.width) - frameExtra.width(),
           twipsToPixels(placement.height) - frameExtra.height());
}
