#pragma once

#include "ui/column_widths.h"
#include "ui/twips.h"
#include "ui/window_look.h"
#include "ui/window_menus.h"

#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <optional>

class AccountListModel;
class AccountsPage;
class BottomBar;
class LogPane;
class MailListModel;
class MailListView;
class MailPage;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeView;
class SettingsPages;
class TabStrip;

// The main window, captioned "Quorvamel email": the tab strip with its three
// pages, the bottom row of buttons, the log box and the status line. Every
// control carries its program name as its object name; the controllers
// reach the controls through the typed accessors of the window and its
// pages.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum Tab { MailTab = 0, SettingsTab = 1, AccountsTab = 2 };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // --- Pages and controls ----------------------------------------------------
    MailPage& mailPage() const { return *m_mailPage; }
    SettingsPages& settingsPages() const { return *m_settingsPages; }
    AccountsPage& accountsPage() const { return *m_accountsPage; }
    BottomBar& bottomBar() const { return *m_bottomBar; }
    LogPane& logPane() const { return *m_logPane; }
    const WindowMenus& menus() const { return m_menus; }
    const WindowTimers& timers() const { return m_timers; }
    QPushButton* checkMailButton() const;
    QPushButton* deleteMailButton() const;
    QPlainTextEdit* logBox() const;
    QFrame* alarmBox() const { return m_alarm.box; }     // Picture7
    QLabel* alarmLabel() const { return m_alarm.label; } // Label17

    // --- Lists -------------------------------------------------------------
    MailListModel* mailListModel() const;
    AccountListModel* accountListModel() const;
    // The window shows the given models from now on (not taking ownership);
    // null returns to its own.
    void setMailListModel(MailListModel* model);
    void setAccountListModel(AccountListModel* model);
    MailListView* mailListView() const;
    QTreeView* accountListView() const;
    // Column widths in twips. A width below 0 takes its default.
    using MailWidths = MailListWidths;
    using AccountWidths = AccountListWidths;
    void setMailColumnWidths(MailWidths twips);
    void setAccountColumnWidths(AccountWidths twips);
    MailWidths mailColumnWidths() const;
    AccountWidths accountColumnWidths() const;
    // Check boxes and picture set of the mail list follow the delete setting.
    void showMailCheckBoxes(bool shown);

    // --- Log box and status line ---------------------------------------------
    QString logText() const;
    QString statusText() const;
    // The log box's colours while a run is active, and back.
    void showRunColours(bool runActive);

    // --- Run state and enabling ------------------------------------------------
    bool runBusy() const { return m_status.runBusy; }
    bool deleteEnabled() const { return m_status.deleteEnabled; }
    void setDeleteEnabled(bool enabled) { m_status.deleteEnabled = enabled; }
    int currentTab() const;
    void selectTab(int tab);
    // 1 to 3: the settings page P. 1 to P. 3 shown inside "Run Settings".
    int settingsPage() const;
    void showSettingsPage(int page);

    // --- Layout ----------------------------------------------------------------
    // Split: the log box takes the right half of the settings frame's area.
    bool logSplit() const;
    void setLogSplit(bool split);
    // Places the log box over the settings frame's area by the split mode.
    void placeLogBox();
    // The resize rules, run on every resize of a window that is not minimised.
    void applyLayout();
    static constexpr int MinimumOuterWidth = 5760;
    static constexpr int MinimumOuterHeight = 5505;
    // Stored window placement in twips, updated by every resize in the
    // normal state.
    TwipsRect windowPlacement() const { return m_placement; }
    // The window's first placement in a work area (twips); no work area gives
    // the fixed placement. The settings own the rule.
    static TwipsRect firstRunPlacement(std::optional<TwipsRect> workArea);
    // The primary screen's work area in twips; none when it cannot be read.
    static std::optional<TwipsRect> currentWorkArea();
    // Moves and sizes the window's frame to the rectangle (twips); the size
    // is fitted again once the window manager's frame is known.
    void placeWindow(const TwipsRect& placement);

    // --- Colours, tool tips, text font -----------------------------------------
    std::uint32_t pageColour() const { return m_look.pageColour(); }
    void setPageColour(std::uint32_t colour) { m_look.setPageColour(colour); }
    void applyPageColours();
    static const QStringList& toolTipTexts() { return WindowLook::toolTipTexts(); }
    bool toolTipsOff() const { return m_look.toolTipsOff(); }
    void setToolTipsOff(bool off) { m_look.setToolTipsOff(off); }
    // Re-check interval shown in the indicator's "On" tool tip.
    void setRecheckIntervalMinutes(std::int32_t minutes)
    {
        m_look.setRecheckIntervalMinutes(minutes);
    }
    void applyToolTips();
    using TextFont = ::TextFont;
    TextFont textFont() const { return m_look.textFont(); }
    void setTextFont(const TextFont& font) { m_look.setTextFont(font); }
    // Shows the font dialog once the window has become active, then applies
    // the text font to the lists, the date style chooser and the text boxes.
    void applyTextFont();
    // Replaces the font dialog (tests); it gets the initial font and returns
    // the chosen one, or the initial one when cancelled.
    using FontDialogRunner = WindowLook::FontDialogRunner;
    void setFontDialogRunner(FontDialogRunner runner)
    {
        m_look.setFontDialogRunner(std::move(runner));
    }

    // --- Activation -------------------------------------------------------------
    // The first activation happens when the window is first shown (just
    // after the show) or first activated, whichever comes first: a window
    // manager may never give the window the focus.
    bool hasBecomeActive() const { return m_status.becameActive; }
    // The first activation's window-side steps (colours, tool tips); also
    // called by the window's own first show and activation.
    void handleFirstActivation();

public slots:
    void appendLog(const QString& text);
    void setLogText(const QString& text);
    void setStatus(const QString& text);
    // Busy: check disabled, "Seen" swapped for "Cancel", first tab selected,
    // tabs and "Delete Mail" disabled. Idle: the reverse, "Delete Mail" only
    // with the delete functions enabled.
    void setRunBusy(bool busy);
    void toggleLogBox();
    void flipLogSplit();

signals:
    // The window was shown or became active for the first time (after its
    // own steps).
    void firstActivated();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildTabStrip();
    void buildAlarm();
    void connectControls();
    void applyDesignFonts();
    void prepareLook();
    void onTabChanged(int index);
    void enforceMinimumSize();
    void rememberPlacement();
    void fitOuterSize();
    TwipsRect logArea() const;

    QWidget* m_surface = nullptr;
    TabStrip* m_tabStrip = nullptr;
    std::unique_ptr<MailPage> m_mailPage;
    LogPane* m_logPane = nullptr;
    SettingsPages* m_settingsPages = nullptr;
    std::unique_ptr<AccountsPage> m_accountsPage;
    std::unique_ptr<BottomBar> m_bottomBar;
    // The flashing alarm panel (Picture7) and its label (Label17).
    struct AlarmPanel
    {
        QFrame* box = nullptr;
        QLabel* label = nullptr;
    };
    // Where the window stands.
    struct Status
    {
        bool runBusy = false;
        bool becameActive = false;
        bool inLayout = false;
        bool deleteEnabled = false;
    };

    // The outer size placeWindow asked for, fitted again while checks are
    // left.
    struct OuterFit
    {
        QSize size;
        int checksLeft = 0;
    };
    static constexpr int OuterFitCheckMs = 20;
    static constexpr int OuterFitChecks = 150;

    AlarmPanel m_alarm;
    WindowMenus m_menus;
    WindowTimers m_timers;
    WindowLook m_look;
    TwipsRect m_placement;
    Status m_status;
    OuterFit m_outerFit;
};
