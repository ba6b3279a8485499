#pragma once

#include "ui/about_box.h"
#include "ui/close_request.h"
#include "ui/help_opener.h"
#include "ui/tray_icon.h"

#include <QObject>
#include <memory>

class AccountListModel;
class RunCoordinator;
class MainWindow;
class Prompter;
struct RunSettings;

// The run coordinator as the close request sees it.
class CoordinatorRunFlags : public CloseRunFlags
{
public:
    explicit CoordinatorRunFlags(RunCoordinator& runs) : m_runs(runs) {}
    bool isBusy() const override;
    bool isClosing() const override;
    void beginClosing() override;

private:
    RunCoordinator& m_runs;
};

// Tray icon, close request, About box and help menu of the main window, put
// together: the icon appears at the first activation when the tray setting
// is in effect, the close box hides to it only while it is really there,
// new mail is announced on it, and the final close removes the icon and the
// About box. Parented to the window.
class WindowClosing : public QObject
{
    Q_OBJECT

public:
    struct Paths
    {
        QString settingsFile;
        QString programFolder;
    };

    WindowClosing(MainWindow& form, RunCoordinator& runs, RunSettings& settings,
                  AccountListModel& accounts, Prompter& prompter, const Paths& paths,
                  TrayIcon::Probe trayProbe = {}, std::unique_ptr<HelpLauncher> launcher = {});
    ~WindowClosing() override;

    TrayIcon& trayIcon() { return m_tray; }
    CloseRequest& closeRequest() { return m_closeRequest; }
    AboutBox& aboutBox() { return m_about; }

    // The program keeps running while its window is hidden in the tray (a
    // message box closing then must not end it) and ends at the final close.
    void quitApplicationOnUnload();

private:
    CoordinatorRunFlags m_flags;
    std::unique_ptr<HelpLauncher> m_launcher;
    TrayIcon m_tray;
    AboutBox m_about;
    CloseRequest m_closeRequest;
};
