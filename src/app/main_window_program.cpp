// The window program: start-up sequence, then the main window joined to the
// engine.
#include "app/startup.h"
#include "platform/connectivity.h"
#include "platform/tick_source.h"
#include "runs/recheck_clock.h"
#include "storage/run_settings.h"
#include "storage/users_file.h"
#include "ui/account_editor.h"
#include "ui/close_request_wiring.h"
#include "ui/form10.h"
#include "ui/message_box_prompter.h"
#include "ui/secret_entry.h"
#include "ui/settings_actions.h"
#include "ui/window_wiring.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    QApplication::setApplicationVersion(QStringLiteral(QUORVAMEL_VERSION));

    const QString home = QDir::homePath();
    SingleInstanceGuard guard(home);
    if (!guard.isFirstInstance())
        return 0;

    MessageBoxPrompter prompter;
    StartupInput input;
    input.programFolder = programFolderFrom(QApplication::applicationDirPath());
    input.homeFolder = home;
    input.prompter = &prompter;
    const StartupResult started = runStartupSequence(input);
    if (started.outcome != StartupResult::ShowWindow)
        return started.outcome == StartupResult::Failed ? 1 : 0;

    RunSettings settings;
    NetworkInformationConnectivity connectivity;
    SteadyTickSource ticks;
    Form10 window;
    prompter.setParentWidget(&window);
    WindowWiring wiring(window, settings, prompter, connectivity, ticks);
    wiring.loadWindowData(started.settingsPath,
                          started.dataFolder + QLatin1Char('/') + UsersFileName);
    // The settings pages' boxes and Defaults buttons; built after loading so
    // the values put in at load run no actions. The timed re-check follows
    // the interval the P. 1 defaults bring back.
    SettingsActions settingsActions(window, settings, *window.mailListModel(), prompter);
    settingsActions.setPage1RecheckHook([&wiring] { wiring.clock().intervalRestored(); });
    AccountEditor accountEditor(window, *window.accountListModel(), prompter);
    SecretEntry secretEntry(window, settings, prompter);
    // Tray icon, closing with saving, help and About; owned by the window.
    auto* closing = new WindowClosing(window, wiring.engine(), settings, *window.accountListModel(),
                                      prompter, {started.settingsPath, input.programFolder});
    closing->quitApplicationOnUnload();
    window.show();
    return app.exec();
}
