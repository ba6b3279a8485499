#pragma once

#include "storage/run_settings.h"
#include "ui/twips.h"

#include <QObject>
#include <memory>
#include <optional>

class Connectivity;
class RunCoordinator;
class MainWindow;
class MailListActions;
class Prompter;
class RecheckClock;
class RecheckControls;
class TickSource;

// The screen and the installed fonts as the settings loader needs them.
ScreenFacts currentScreenFacts();
FontFacts installedFontFacts();

// Reads the settings file and applies the load rules for this screen and
// these fonts. False (out untouched) when the file cannot be read.
bool loadRunSettings(const QString& settingsPath, const std::optional<ScreenFacts>& screen,
                     const FontFacts& fonts, RunSettings& out);

// Joins the main window to the run coordinator: the run buttons, the log box and the
// status line, the timed re-check and the alarm, the mail-list actions, the
// settings shown at load, and the steps of the window's first activation.
// The runs work on the window's own lists.
class WindowWiring : public QObject
{
    Q_OBJECT
public:
    WindowWiring(MainWindow& window, RunSettings& settings, Prompter& prompter,
                 Connectivity& connectivity, TickSource& ticks, QObject* parent = nullptr);
    ~WindowWiring() override;

    RunCoordinator& runs() { return *m_runs; }
    RecheckClock& clock() { return *m_clock; }
    RecheckControls& recheckControls() { return *m_recheckControls; }
    MailListActions& mailListActions() { return *m_mailListActions; }

    // The window side of loading: the settings' check boxes and value boxes,
    // column widths, list styles, text font, log split and tool tips, then
    // the placement (the first placement in the work area when the window was
    // never placed) and the tab to open on.
    void applySettings(const std::optional<TwipsRect>& workArea);
    // Settings file, then users file; a settings file that cannot be read
    // says so and leaves the settings as they are, the accounts are loaded
    // all the same. False when the users file cannot be read: the program
    // must not run on (and later save) an account list it could not load.
    bool loadWindowData(const QString& settingsPath, const QString& usersPath);

    // The check button.
    void startCheckFromUser();
    // The window became active for the first time.
    void firstActivation();

private:
    void connectRuns();
    // The run's buttons and tabs go busy on the mail tab.
    void showRunBusy();

    MainWindow& m_window;
    RunSettings& m_settings;
    Prompter& m_prompter;
    std::unique_ptr<RunCoordinator> m_runs;
    RecheckClock* m_clock = nullptr;
    RecheckControls* m_recheckControls = nullptr;
    MailListActions* m_mailListActions = nullptr;
};
