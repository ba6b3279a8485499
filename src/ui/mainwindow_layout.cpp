// Resize rules, the log box's place and the window's placement; the log
// box and the status line.
#include "storage/run_settings.h"
#include "ui/accounts_page.h"
#include "ui/bottom_bar.h"
#include "ui/log_pane.h"
#include "ui/mail_list_view.h"
#include "ui/mainwindow.h"
#include "ui/settings_pages.h"
#include "ui/system_colours.h"
#include "ui/tab_strip.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
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

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    applyLayout();
}

void MainWindow::enforceMinimumSize()
{
    const QSize frameExtra = frameGeometry().size() - size();
    const QSize minimumClient(twipsToPixels(MinimumOuterWidth) - frameExtra.width(),
                              twipsToPixels(MinimumOuterHeight) - frameExtra.height());
    setMinimumSize(minimumClient);
    if (width() < minimumClient.width() || height() < minimumClient.height())
        resize(size().expandedTo(minimumClient));
}

void MainWindow::applyLayout()
{
    if (isMinimized() || m_status.inLayout || !m_settingsPages || !m_accountsPage || !m_bottomBar)
        return;
    m_status.inLayout = true;
    enforceMinimumSize();

    const double sw = twipsOf(width());
    const double sh = twipsOf(height());
    const double e = pageColour() == SystemColour::WindowBackground ? 30 : 0;
    QGroupBox* settingsFrame = m_settingsPages->frame();
    QGroupBox* accountsFrame = m_accountsPage->frame();
    QTreeView* accountList = accountListView();

    setSizeTwips(m_tabStrip, sw - 105, sh - 810);
    setSizeTwips(mailListView(), sw - (e + 315), sh - (e + 1305));
    stretchLastColumn(mailListView(), 6);
    setSizeTwips(accountsFrame, sw - (e + 300), sh - (e + 1275));
    setSizeTwips(settingsFrame, sw - (e + 300), sh - (e + 1275));
    m_settingsPages->centrePages();

    setSizeTwips(accountList, twipsOf(accountsFrame->width()) - 2025,
                 twipsOf(accountsFrame->height()) - 285);
    stretchLastColumn(accountList, 4);

    for (QWidget* control : m_bottomBar->controls())
        control->move(control->x(), twipsToPixels(sh - 690));
    placeLogBox();
    m_alarm.box->move(twipsToPixels(sw - 690), m_alarm.box->y());

    rememberPlacement();
    m_status.inLayout = false;
}

TwipsRect MainWindow::logArea() const
{
    const QGroupBox* frame = m_settingsPages->frame();
    return {twipsOf(frame->x()), twipsOf(frame->y()), twipsOf(frame->width()),
            twipsOf(frame->height())};
}

void MainWindow::placeLogBox()
{
    m_logPane->place(logArea());
}

bool MainWindow::logSplit() const
{
    return m_logPane->split();
}

void MainWindow::setLogSplit(bool split)
{
    m_logPane->setSplit(split, logArea());
}

void MainWindow::flipLogSplit()
{
    setLogSplit(!logSplit());
}

void MainWindow::toggleLogBox()
{
    m_logPane->toggle(logArea());
}

QString MainWindow::logText() const
{
    return m_logPane->logText();
}

void MainWindow::appendLog(const QString& text)
{
    m_logPane->appendLog(text);
}

void MainWindow::setLogText(const QString& text)
{
    m_logPane->setLogText(text);
}

QString MainWindow::statusText() const
{
    return m_logPane->statusText();
}

void MainWindow::setStatus(const QString& text)
{
    m_logPane->setStatus(text);
}

void MainWindow::showRunColours(bool runActive)
{
    m_logPane->showRunColours(runActive);
}

void MainWindow::rememberPlacement()
{
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QRect outer = frameGeometry();
    m_placement = {twipsOf(outer.x()), twipsOf(outer.y()), twipsOf(outer.width()),
                   twipsOf(outer.height())};
}

TwipsRect MainWindow::firstRunPlacement(std::optional<TwipsRect> workArea)
{
    std::optional<QRectF> area;
    if (workArea)
        area = toRectF(*workArea);
    return toTwipsRect(RunSettings::firstWindowPlacement(area));
}

std::optional<TwipsRect> MainWindow::currentWorkArea()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || screen->availableGeometry().isEmpty())
        return std::nullopt;
    const QRect area = screen->availableGeometry();
    return TwipsRect{twipsOf(area.x()), twipsOf(area.y()), twipsOf(area.width()),
                     twipsOf(area.height())};
}

void MainWindow::placeWindow(const TwipsRect& placement)
{
    move(twipsToPixels(placement.left), twipsToPixels(placement.top));
    QSize outer(qMax(0, twipsToPixels(placement.width)), qMax(0, twipsToPixels(placement.height)));
    // A damaged size is no larger than the desktop the window is shown on.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && !screen->availableVirtualSize().isEmpty())
        outer = outer.boundedTo(screen->availableVirtualSize());
    m_outerFit.size = outer;
    const QSize frameExtra = frameGeometry().size() - size();
    resize(outer - frameExtra);
    m_outerFit.checksLeft = frameExtra.isNull() ? OuterFitChecks : 0;
    if (m_outerFit.checksLeft > 0 && isVisible())
        QTimer::singleShot(OuterFitCheckMs, this, &MainWindow::fitOuterSize);
}

// The placement's size is the frame's. Until the window manager has framed
// the window its extents are unknown (and there may never be a frame), so
// placeWindow gave the inner size the whole outer size; once the frame
// shows, the inner size is set once more, less the frame. Checked a few
// times after the window is shown, since no event says that the frame came.
void MainWindow::fitOuterSize()
{
    if (m_outerFit.checksLeft <= 0)
        return;
    const QSize frameExtra = frameGeometry().size() - size();
    if (!frameExtra.isNull()) {
        m_outerFit.checksLeft = 0;
        // The minimum is an outer size too: taken again with the real frame.
        enforceMinimumSize();
        resize(m_outerFit.size - frameExtra);
    } else if (isVisible() && --m_outerFit.checksLeft > 0) {
        QTimer::singleShot(OuterFitCheckMs, this, &MainWindow::fitOuterSize);
    }
}
