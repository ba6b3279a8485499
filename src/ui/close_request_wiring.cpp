#include "ui/close_request_wiring.h"

#include "runs/engine.h"
#include "ui/help_opener_menu.h"
#include "ui/mainwindow.h"

#include <QApplication>

qint16 EngineRunFlags::ProcessBusy() const
{
    return m_engine.ProcessBusy();
}

void EngineRunFlags::setProcessBusy(qint16 value)
{
    m_engine.setProcessBusy(value);
}

void EngineRunFlags::requestCancel()
{
    m_engine.requestCancel();
}

qint16 EngineRunFlags::Closing() const
{
    return m_engine.Closing();
}

void EngineRunFlags::setClosing(qint16 value)
{
    m_engine.setClosing(value);
}

WindowClosing::WindowClosing(MainWindow& form, Engine& engine, RunSettings& settings,
                             AccountListModel& accounts, Prompter& prompter, const Paths& paths,
                             TrayIcon::Probe trayProbe, std::unique_ptr<HelpLauncher> launcher)
    : QObject(&form), m_flags(engine),
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
    connect(&engine, &Engine::checkRunCompleted, &m_tray, &TrayIcon::announceNewMail);

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
