#include "ui/close_request_wiring.h"

#include "runs/run_coordinator.h"
#include "ui/help_opener_menu.h"
#include "ui/mainwindow.h"

#include <QApplication>

bool CoordinatorRunFlags::isBusy() const
{
    return m_runs.isBusy();
}

bool CoordinatorRunFlags::isClosing() const
{
    return m_runs.isClosing();
}

void CoordinatorRunFlags::beginClosing()
{
    m_runs.beginClosing();
}

WindowClosing::WindowClosing(MainWindow& form, RunCoordinator& runs, RunSettings& settings,
                             AccountListModel& accounts, Prompter& prompter, const Paths& paths,
                             TrayIcon::Probe trayProbe, std::unique_ptr<HelpLauncher> launcher)
    : QObject(&form), m_flags(runs),
      m_launcher(launcher ? std::move(launcher) : std::make_unique<DesktopHelpLauncher>()),
      m_tray(form, settings, std::move(trayProbe)), m_about(&form),
      m_closeRequest(form, m_flags, settings, accounts, prompter, paths.settingsFile)
{
    m_closeRequest.setCanHideToTray([this] { return m_tray.isInEffect(); });
    connect(&m_closeRequest, &CloseRequest::unloading, this, [this] {
        m_about.unload();
        m_tray.removeIcon();
    });
    connect(&m_tray, &TrayIcon::closeRequested, &m_closeRequest, &CloseRequest::closeFromProgram);
    connect(&runs, &RunCoordinator::checkRunCompleted, &m_tray, &TrayIcon::announceNewMail);

    if (form.hasBecomeActive())
        m_tray.addIcon();
    else
        connect(&form, &MainWindow::firstActivated, &m_tray, &TrayIcon::addIcon);

    connectHelpMenu(form, m_about, paths.programFolder, *m_launcher);
}

WindowClosing::~WindowClosing() = default;

void WindowClosing::quitApplicationOnUnload()
{
    QApplication::setQuitOnLastWindowClosed(false);
    connect(&m_closeRequest, &CloseRequest::unloading, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
}
