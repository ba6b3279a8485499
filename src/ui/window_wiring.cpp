#include "ui/window_wiring.h"

#include "model/account_list_model.h"
#include "model/mail_list_model.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "runs/account_store.h"
#include "runs/recheck_clock.h"
#include "runs/run_coordinator.h"
#include "storage/settings_file.h"
#include "ui/log_pane.h"
#include "ui/mail_list_actions.h"
#include "ui/mainwindow.h"
#include "ui/recheck_controls.h"
#include "ui/settings_pages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

ScreenFacts currentScreenFacts()
{
    ScreenFacts facts;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        facts.widthTwips = pixelsToTwips(screen->geometry().width());
        facts.heightTwips = pixelsToTwips(screen->geometry().height());
    }
    return facts;
}

FontFacts installedFontFacts()
{
    return {QFontDatabase::families(),
            QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()};
}

bool loadRunSettings(const QString& settingsPath, const std::optional<ScreenFacts>& screen,
                     const FontFacts& fonts, RunSettings& out)
{
    SettingsRecord record;
    if (!readSettingsFile(settingsPath, record))
        return false;
    out = RunSettings::fromRecord(record, screen, fonts);
    return true;
}

WindowWiring::WindowWiring(MainWindow& window, RunSettings& settings, Prompter& prompter,
                           Connectivity& connectivity, TickSource& ticks, QObject* parent)
    : QObject(parent), m_window(window), m_settings(settings), m_prompter(prompter)
{
    m_runs =
        std::make_unique<RunCoordinator>(settings, *window.accountListModel(),
                                         *window.mailListModel(), prompter, connectivity, ticks);
    m_clock = new RecheckClock(settings, *m_runs, connectivity, prompter, window.timers().recheck,
                               window.timers().alarm, this);
    m_clock->setBeeper([] { QApplication::beep(); });
    m_recheckControls = new RecheckControls(window, *m_clock, settings, this);
    m_mailListActions = new MailListActions(window, *m_runs, settings, this);

    connectRuns();
    connect(window.checkMailButton(), &QPushButton::clicked, this,
            &WindowWiring::startCheckFromUser);
    // The delete run asks for its confirmation and takes the controls itself.
    connect(window.deleteMailButton(), &QPushButton::clicked, m_runs.get(),
            &RunCoordinator::startDeleteFromUser);
    connect(&window, &MainWindow::firstActivated, this, &WindowWiring::firstActivation);
    // The window may already have become active before it was wired.
    if (window.hasBecomeActive())
        QMetaObject::invokeMethod(this, &WindowWiring::firstActivation, Qt::QueuedConnection);
}

WindowWiring::~WindowWiring() = default;

void WindowWiring::connectRuns()
{
    RunCoordinator* runs = m_runs.get();
    RunLog* log = &runs->log();
    connect(log, &RunLog::appended, &m_window, &MainWindow::appendLog);
    connect(log, &RunLog::replaced, &m_window, &MainWindow::setLogText);
    connect(log, &RunLog::statusChanged, &m_window, &MainWindow::setStatus);
    connect(runs, &RunCoordinator::checkProgress, &m_window.logPane(), &LogPane::showCheckProgress);
    connect(runs, &RunCoordinator::checkProgressEnded, &m_window.logPane(),
            &LogPane::clearCheckProgress);
    // The log box takes the run colours while a run is active, and the
    // window's again when a connection fails.
    connect(runs, &RunCoordinator::stateChanged, this, [this](RunState state) {
        m_window.showRunColours(state == RunState::Checking || state == RunState::Deleting);
    });
    connect(runs, &RunCoordinator::linkFailed, this, [this] { m_window.showRunColours(false); });
    connect(runs, &RunCoordinator::dateStyleReset, this,
            [this] { m_window.settingsPages().dateStyleChooser()->setCurrentIndex(0); });
    connect(runs, &RunCoordinator::controlsRestored, this, [this] {
        m_window.setDeleteEnabled(m_settings.deleteEnabled);
        m_window.setRunBusy(false);
    });
    connect(m_clock, &RecheckClock::timedRunStarting, this, &WindowWiring::showRunBusy);
    connect(runs, &RunCoordinator::controlsBusy, this, &WindowWiring::showRunBusy);
}

void WindowWiring::applySettings(const std::optional<TwipsRect>& workArea)
{
    const RunSettings& s = m_settings;
    SettingsPages& pages = m_window.settingsPages();
    const std::pair<OptionBox, bool> boxes[] = {
        {OptionBox::CheckSelectedOnly, s.checkSelectedOnly},
        {OptionBox::AutoCheckOnOpen, s.autoCheckOnOpen},
        {OptionBox::UseRetr, s.useRetr},
        {OptionBox::DeleteEnabled, s.deleteEnabled},
        {OptionBox::PlaySound, s.playSound},
        {OptionBox::UseApop, s.useApop},
        {OptionBox::TrayOnClose, s.trayInEffect},
        {OptionBox::AutoStartTimer, s.autoStartTimer},
        {OptionBox::ToolTipsOff, s.toolTipsOff},
        {OptionBox::ContinuousAlarm, s.continuousAlarm},
        {OptionBox::IdleIfOffline, s.idleIfOffline},
    };
    // Setting a box here is not a click: no click action runs.
    for (const auto& [box, checked] : boxes)
        pages.optionBox(box)->setChecked(checked);
    pages.timeoutBox()->setText(QString::number(s.serverTimeoutSeconds));
    pages.intervalBox()->setText(QString::number(s.recheckIntervalMinutes));

    m_window.setTextFont({s.textFontName, s.textFontSize, s.textFontBold});
    m_window.applyTextFont();
    m_window.setMailColumnWidths(s.mailColumnWidths);
    m_window.setAccountColumnWidths(s.accountColumnWidths);
    m_window.setDeleteEnabled(s.deleteEnabled);
    m_window.showMailCheckBoxes(s.deleteEnabled);
    m_window.setLogSplit(s.logSplit);
    m_window.setToolTipsOff(s.toolTipsOff);
    m_window.setRecheckIntervalMinutes(s.recheckIntervalMinutes);

    const bool firstPlacement = !m_settings.firstRunMarker;
    if (firstPlacement) {
        m_settings.firstRunMarker = true;
        m_window.placeWindow(MainWindow::firstRunPlacement(workArea));
    } else {
        m_window.placeWindow({s.windowLeft, s.windowTop, s.windowWidth, s.windowHeight});
    }
    m_window.selectTab(firstPlacement ? MainWindow::AccountsTab : MainWindow::MailTab);
}

bool WindowWiring::loadWindowData(const QString& settingsPath, const QString& usersPath)
{
    if (!loadRunSettings(settingsPath, currentScreenFacts(), installedFontFacts(), m_settings))
        m_prompter.showMessage(MessageKind::Error, programTitle(),
                               QStringLiteral("An Error Occurred Loading App Data"));
    else
        applySettings(MainWindow::currentWorkArea());
    // The accounts are loaded even after a settings failure: the users file
    // is rewritten from this list at the close, and an empty list would
    // erase every account.
    return loadAccountList(*m_window.accountListModel(), usersPath);
}

void WindowWiring::startCheckFromUser()
{
    m_runs->reserve();
    showRunBusy();
    m_clock->userRunStarting();
    m_runs->startCheck();
}

void WindowWiring::showRunBusy()
{
    // The mail tab is selected while no run is active yet, so "Seen" comes
    // back enabled when the run ends, whichever tab the run started from.
    m_window.selectTab(MainWindow::MailTab);
    m_window.setRunBusy(true);
}

void WindowWiring::firstActivation()
{
    SettingsPages& pages = m_window.settingsPages();
    pages.intervalBox()->setText(QString::number(m_settings.recheckIntervalMinutes));
    QComboBox* chooser = pages.dateStyleChooser();
    if (const auto index = dateStyleChooserIndex(m_settings.dateStyle, chooser->count()))
        chooser->setCurrentIndex(*index);
    if (!m_settings.autoCheckOnOpen)
        return;
    // The run's buttons go busy at once; the tab the window opened on stays.
    m_runs->reserve();
    const int tab = m_window.currentTab();
    m_window.setRunBusy(true);
    if (tab != MainWindow::MailTab)
        m_window.selectTab(tab);
    // The run itself starts once the activation is over, so its waits do
    // not nest inside the activation event.
    QMetaObject::invokeMethod(m_runs.get(), &RunCoordinator::startCheck, Qt::QueuedConnection);
}
