#include "ui/close_request.h"

#include "model/account_list_model.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "runs/account_store.h"
#include "storage/run_settings.h"
#include "storage/settings_file.h"
#include "ui/mail_list_view.h"
#include "ui/mainwindow.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>

namespace {
// The delayed close shows its notice after this many ticks and gives up
// waiting for the run after this many.
constexpr int NoticeAfterTicks = 6;
constexpr int ForceAfterTicks = 31;
} // namespace

CloseRequest::CloseRequest(MainWindow& form, CloseRunFlags& flags, RunSettings& settings,
                           AccountListModel& accounts, Prompter& prompter, QString settingsPath,
                           QObject* parent)
    : QObject(parent), m_form(form), m_flags(flags), m_settings(settings), m_accounts(accounts),
      m_prompter(prompter), m_settingsPath(std::move(settingsPath))
{
    m_closeTimer = form.timers().closeTick;
    connect(m_closeTimer, &QTimer::timeout, this, &CloseRequest::closeTick);
    m_canHideToTray = [this] { return m_settings.trayInEffect; };
    form.installEventFilter(this);
}

void CloseRequest::setTickMs(int ms)
{
    m_closeTimer->setInterval(ms);
}

bool CloseRequest::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_form || event->type() != QEvent::Close)
        return QObject::eventFilter(watched, event);
    if (m_unloaded)
        return false;
    // Every close that the program did not start itself counts as the
    // user's (the close box, the system menu, another part of the program).
    if (queryUnload(!m_programClose) == Closed)
        return false;
    event->ignore();
    return true;
}

CloseRequest::Outcome CloseRequest::queryUnload(bool userClose)
{
    // The account list is saved even when the close is then refused.
    saveAccounts();

    if (userClose && m_canHideToTray && m_canHideToTray()) {
        m_form.hide();
        return Hidden;
    }
    if (userClose && m_flags.isBusy() && !m_flags.isClosing()) {
        beginDelayedClose();
        return Delayed;
    }
    finalClose();
    return Closed;
}

void CloseRequest::beginDelayedClose()
{
    m_closeTicks = 1;
    m_flags.beginClosing();
    m_closeTimer->start();
}

void CloseRequest::closeTick()
{
    m_closeTicks += 1;
    if (m_flags.isBusy()) {
        if (m_closeTicks > NoticeAfterTicks) {
            m_form.setLogText(DelayedText);
            m_form.setStatus(DelayedText);
        }
        if (m_closeTicks > ForceAfterTicks) {
            m_closeTimer->stop();
            closeFromProgram();
        }
        return;
    }
    m_closeTimer->stop();
    closeFromProgram();
}

void CloseRequest::closeFromProgram()
{
    if (m_unloaded)
        return;
    m_programClose = true;
    m_form.close();
    m_programClose = false;
}

void CloseRequest::closeForSessionEnd()
{
    if (m_unloaded)
        return;
    // No message box may wait for an answer now, and the run stops at its
    // next step.
    if (m_flags.isBusy())
        m_flags.beginClosing();
    closeFromProgram();
}

void CloseRequest::saveForSessionEnd()
{
    if (m_unloaded)
        return;
    saveAccounts();
    saveSettings();
}

void CloseRequest::saveAccounts()
{
    if (m_accounts.rowCount() > 0)
        saveUsersFile(m_accounts, QString(), 0, m_prompter);
}

void CloseRequest::finalClose()
{
    m_closeTimer->stop();
    saveSettings();
    m_unloaded = true;
    emit unloading();
}

void CloseRequest::saveSettings()
{
    captureColumnWidths();
    capturePlacement();
    // Settings the window itself keeps.
    m_settings.logSplit = m_form.logSplit() != 0;
    const MainWindow::TextFont font = m_form.textFont();
    if (!font.name.isEmpty()) {
        m_settings.textFontName = font.name;
        m_settings.textFontSize = font.size;
        m_settings.textFontBold = font.bold != 0;
    }
    if (!writeSettingsFile(m_settingsPath, m_settings.toRecord()))
        m_prompter.showMessage(MessageKind::Error, programTitle(), SaveFailedText);
}

void CloseRequest::captureColumnWidths()
{
    // A minimised window keeps the widths it had.
    if (m_form.isMinimized())
        return;
    const bool readable =
        m_form.mailListView()->header()->count() >= int(m_settings.mailColumnWidths.size()) &&
        m_form.accountListView()->header()->count() >= int(m_settings.accountColumnWidths.size());
    if (!readable) {
        m_settings.mailColumnWidths = RunSettings::defaultMailColumnWidths;
        m_settings.accountColumnWidths = RunSettings::defaultAccountColumnWidths;
        return;
    }
    const MainWindow::MailWidths mail = m_form.mailColumnWidths();
    const MainWindow::AccountWidths account = m_form.accountColumnWidths();
    std::copy(mail.begin(), mail.end(), m_settings.mailColumnWidths.begin());
    std::copy(account.begin(), account.end(), m_settings.accountColumnWidths.begin());
}

void CloseRequest::capturePlacement()
{
    TwipsRect placement;
    const bool normal = !(m_form.windowState() &
                          (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    if (normal) {
        const QRect outer = m_form.frameGeometry();
        placement = {pixelsToTwips(outer.x()), pixelsToTwips(outer.y()),
                     pixelsToTwips(outer.width()), pixelsToTwips(outer.height())};
    } else {
        // The placement taken at the last resize in the normal state.
        placement = m_form.windowPlacement();
        if (placement.width <= 0 || placement.height <= 0)
            return;
    }
    m_settings.windowLeft = float(placement.left);
    m_settings.windowTop = float(placement.top);
    m_settings.windowWidth = float(placement.width);
    m_settings.windowHeight = float(placement.height);
}
