#pragma once

#include <QObject>
#include <QString>
#include <functional>

class AccountListModel;
class MainWindow;
class Prompter;
class QTimer;
struct RunSettings;

// What a close request needs of the runs: the run coordinator in the
// program, a plain record in tests.
class CloseRunFlags
{
public:
    virtual ~CloseRunFlags() = default;
    // A run, or a user's action, holds the process.
    virtual bool isBusy() const = 0;
    // A delayed close is pending.
    virtual bool isClosing() const = 0;
    // The close waits for the run: it is asked to cancel and shows no more
    // message boxes.
    virtual void beginClosing() = 0;
};

// What happens when the main window is asked to close, in this order: the
// users file is saved; with the tray in effect the close box only hides the
// window; during a user-started run the close waits for the run to stop
// (Timer4, at most 31 ticks); otherwise the column widths, the placement and
// every setting are written to the settings file and the window closes.
class CloseRequest : public QObject
{
    Q_OBJECT

public:
    enum Outcome { Hidden, Delayed, Closed };
    static inline const QString DelayedText =
        QStringLiteral("Window Close Delayed To Close Server Connection.");
    static inline const QString SaveFailedText =
        QStringLiteral("An Error Occurred Saving App Data");

    // Watches the window's close events from now on.
    CloseRequest(MainWindow& form, CloseRunFlags& flags, RunSettings& settings,
                 AccountListModel& accounts, Prompter& prompter, QString settingsPath,
                 QObject* parent = nullptr);

    // Whether the window can hide to the tray now: the tray setting in effect
    // and an icon in a notification area that exists. Without one the close
    // box closes, so the window never becomes unreachable.
    void setCanHideToTray(std::function<bool()> canHide) { m_canHideToTray = std::move(canHide); }
    // The delayed close's tick length (1000 ms; shorter in tests).
    void setTickMs(int ms);

    // The window's query-unload: userClose is the close box or system menu;
    // anything else is the program itself or the session ending.
    Outcome queryUnload(bool userClose);
    // Closes the window as the program (tray "Close", the delayed close).
    void closeFromProgram();
    // The process is told to terminate: the final close with its saves at
    // once, as the close box does with the tray off, except that a run is
    // cancelled rather than waited for.
    void closeForSessionEnd();
    // The session manager asks for the data (logout, shutdown, but also a
    // checkpoint or the save it asks right after the program registers):
    // the final close's saves, with the window left open. The session
    // manager ends the program afterwards when the session really ends.
    void saveForSessionEnd();
    // One tick of the delayed close.
    void closeTick();

    QTimer& closeTimer() const { return *m_closeTimer; }
    bool hasUnloaded() const { return m_unloaded; }
    // Ticks of the pending delayed close, from 1; 0 when none is pending.
    int closeTicks() const { return m_closeTicks; }

signals:
    // The close was allowed and the settings written (or their failure
    // shown): the About box and the tray icon go now.
    void unloading();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void beginDelayedClose();
    void finalClose();
    void saveAccounts();
    void saveSettings();
    void captureColumnWidths();
    void capturePlacement();

    MainWindow& m_form;
    CloseRunFlags& m_flags;
    RunSettings& m_settings;
    AccountListModel& m_accounts;
    Prompter& m_prompter;
    QString m_settingsPath;
    QTimer* m_closeTimer = nullptr;
    std::function<bool()> m_canHideToTray;
    int m_closeTicks = 0;
    bool m_programClose = false;
    bool m_unloaded = false;
};
