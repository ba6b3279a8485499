#pragma once

#include "platform/connectivity.h"
#include "platform/tick_source.h"
#include "storage/run_settings.h"
#include "ui/mainwindow.h"

#include <memory>

class AccountEditor;
class BrowserSignIn;
class CertificateTrust;
class HeaderCacheKeeper;
class MessageBoxPrompter;
class SecretEntry;
class SettingsActions;
class SignInEditor;
class SignInKeeper;
class WindowClosing;
class WindowWiring;
struct StartupResult;

// Everything the window program runs on after a successful start: the main
// window, the engine behind it and the controllers of its pages, loaded
// from the data folder.
class WindowProgram
{
public:
    WindowProgram(const StartupResult& started, const QString& programFolder,
                  MessageBoxPrompter& prompter);
    ~WindowProgram();

    // False when the account list could not be loaded: the program must
    // then end with the start-up failure message instead of opening.
    bool accountsLoaded() const { return m_accountsLoaded; }
    MainWindow& window() { return m_window; }
    // Shows and raises the window, as the tray's "Open" does (a later start
    // of the program asks for it); nothing once the final close has run.
    void showWindow();
    // A termination signal: the final close with its saves.
    void closeForSessionEnd();
    // The session manager asks for the data: the final close's saves.
    void saveForSessionEnd();
    WindowWiring& wiring() { return *m_wiring; }
    // The accounts' sign-in choices and the Secret Service; null when the
    // account list could not be loaded.
    SignInKeeper* signIn() { return m_signIn.get(); }

private:
    RunSettings m_settings;
    NetworkInformationConnectivity m_connectivity;
    SteadyTickSource m_ticks;
    MainWindow m_window;
    std::unique_ptr<CertificateTrust> m_certificateTrust;
    std::unique_ptr<WindowWiring> m_wiring;
    std::unique_ptr<HeaderCacheKeeper> m_headerCache; // gone before the runs it serves
    std::unique_ptr<SignInKeeper> m_signIn;           // gone before the runs it serves
    std::unique_ptr<SettingsActions> m_settingsActions;
    std::unique_ptr<AccountEditor> m_accountEditor;
    std::unique_ptr<SecretEntry> m_secretEntry;
    std::unique_ptr<BrowserSignIn> m_browserSignIn; // gone after the editor that starts it
    std::unique_ptr<SignInEditor> m_signInEditor;
    WindowClosing* m_closing = nullptr; // owned by the window
    bool m_accountsLoaded = false;
};
