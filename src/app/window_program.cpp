#include "app/window_program.h"

#include "app/header_cache_keeper.h"
#include "app/sign_in_keeper.h"
#include "app/startup.h"
#include "app/window_sign_in.h"
#include "platform/diagnostics.h"
#include "runs/browser_sign_in.h"
#include "runs/certificate_trust.h"
#include "runs/recheck_clock.h"
#include "runs/run_coordinator.h"
#include "storage/users_file.h"
#include "ui/account_editor.h"
#include "ui/close_request_wiring.h"
#include "ui/message_box_prompter.h"
#include "ui/secret_entry.h"
#include "ui/settings_actions.h"
#include "ui/sign_in_editor.h"
#include "ui/window_wiring.h"

WindowProgram::WindowProgram(const StartupResult& started, const QString& programFolder,
                             MessageBoxPrompter& prompter)
{
    prompter.setParentWidget(&m_window);
    m_wiring =
        std::make_unique<WindowWiring>(m_window, m_settings, prompter, m_connectivity, m_ticks);
    m_accountsLoaded = m_wiring->loadWindowData(
        started.settingsPath, started.dataFolder + QLatin1Char('/') + UsersFileName);
    if (!m_accountsLoaded)
        return;
    // A certificate the system does not vouch for is put to the user.
    m_certificateTrust = std::make_unique<CertificateTrust>(
        started.dataFolder + QLatin1Char('/') + TrustedCertificates::FileName, &prompter);
    m_wiring->runs().setCertificateTrust(m_certificateTrust.get());
    // Headers fetched before, by unique id: only new mail is fetched again.
    m_headerCache = std::make_unique<HeaderCacheKeeper>(
        m_wiring->runs(), started.dataFolder,
        [](const QString& note) { qCWarning(lcApp).noquote() << note; });
    // How each account signs in; a sign-in file put aside is told in the log.
    m_signIn = std::make_unique<SignInKeeper>(m_wiring->runs(), started.dataFolder,
                                              [this](const QString& note) {
                                                  qCWarning(lcApp).noquote() << note;
                                                  m_wiring->runs().log().append(note);
                                              });
    // The settings pages' boxes and Defaults buttons; built after loading so
    // the values put in at load run no actions. The timed re-check follows
    // the interval the P. 1 defaults bring back.
    m_settingsActions = std::make_unique<SettingsActions>(m_window, m_settings,
                                                          *m_window.mailListModel(), prompter);
    m_settingsActions->setPage1RecheckHook([this] { m_wiring->clock().intervalRestored(); });
    m_accountEditor =
        std::make_unique<AccountEditor>(m_window, *m_window.accountListModel(), prompter);
    m_secretEntry = std::make_unique<SecretEntry>(m_window, m_settings, prompter);
    m_signInEditor = std::make_unique<SignInEditor>(m_window, *m_window.accountListModel(),
                                                    m_signIn->book(), prompter);
    m_signInEditor->setSaveHook([this](QString* error) { return m_signIn->save(error); });
    m_signInEditor->setSecretStore(&m_signIn->secretStore());
    m_browserSignIn = makeWindowSignIn(*m_signInEditor, *m_signIn, prompter);
    QObject::connect(m_accountEditor.get(), &AccountEditor::accountDeleted, m_signInEditor.get(),
                     &SignInEditor::accountDeleted);
    // Tray icon, closing with saving, help and About; owned by the window.
    m_closing =
        new WindowClosing(m_window, m_wiring->runs(), m_settings, *m_window.accountListModel(),
                          prompter, {started.settingsPath, programFolder});
    m_closing->quitApplicationOnUnload();
}

void WindowProgram::showWindow()
{
    if (m_closing && !m_closing->closeRequest().hasUnloaded())
        m_closing->trayIcon().showWindow();
}

void WindowProgram::closeForSessionEnd()
{
    if (m_closing)
        m_closing->closeRequest().closeForSessionEnd();
}

void WindowProgram::saveForSessionEnd()
{
    if (m_closing)
        m_closing->closeRequest().saveForSessionEnd();
}

WindowProgram::~WindowProgram() = default;
