#pragma once

#include "ui/twips.h"

#include <QMainWindow>
#include <QRect>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class AccountListModel;
class BatchedRowsProxy;
class MailListModel;
class MailListView;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTimer;
class QTreeView;
class TabStrip;

// The main window, captioned "Quorvamel email": the tab strip with its three
// pages, the bottom row of buttons, the log box and the status line. Every
// control carries its program name as its object name.
class Form10 : public QMainWindow
{
    Q_OBJECT

public:
    enum Tab { MailTab = 0, SettingsTab = 1, AccountsTab = 2 };

    explicit Form10(QWidget* parent = nullptr);
    ~Form10() override;

    // --- Lists -------------------------------------------------------------
    MailListModel* mailListModel() const { return m_mailModel; }
    AccountListModel* accountListModel() const { return m_accountModel; }
    // The window shows the given models from now on (not taking ownership);
    // null returns to its own.
    void setMailListModel(MailListModel* model);
    void setAccountListModel(AccountListModel* model);
    MailListView* mailListView() const { return m_listView1; }
    QTreeView* accountListView() const { return m_listView2; }
    // Column widths in twips: mail-list columns 1 to 6, account-list columns
    // 1 to 4. A width below 0 takes its default.
    using MailWidths = std::array<float, 6>;
    using AccountWidths = std::array<float, 4>;
    static constexpr MailWidths DefaultMailColumnWidths{1440, 1440, 2000, 3300, 2200, 1440};
    static constexpr AccountWidths DefaultAccountColumnWidths{1440, 1440, 1440, 1440};
    void setMailColumnWidths(MailWidths twips);
    void setAccountColumnWidths(AccountWidths twips);
    MailWidths mailColumnWidths() const;
    AccountWidths accountColumnWidths() const;
    // Check boxes and picture set of the mail list follow the delete setting.
    void showMailCheckBoxes(bool shown);

    // --- Log box and status line ---------------------------------------------
    QString logText() const;
    QString statusText() const;

    // --- Run state and enabling ------------------------------------------------
    bool runBusy() const { return m_runBusy; }
    std::int16_t deleteEnabled() const { return m_deleteEnabled; }
    void setDeleteEnabled(std::int16_t enabled) { m_deleteEnabled = enabled; }
    int currentTab() const;
    void selectTab(int tab);
    // 1 to 3: the settings page P. 1 to P. 3 shown inside "Run Settings".
    int settingsPage() const { return m_settingsPage; }
    void showSettingsPage(int page);

    // --- Layout ----------------------------------------------------------------
    std::int16_t logSplit() const { return m_logSplit; }
    void setLogSplit(std::int16_t split);
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
    // the fixed placement.
    static TwipsRect firstRunPlacement(std::optional<TwipsRect> workArea);
    // The primary screen's work area in twips; none when it cannot be read.
    static std::optional<TwipsRect> currentWorkArea();
    // A stored left or top off the screen (in twips) starts at 0.
    static TwipsRect checkStoredPosition(TwipsRect stored, double screenWidth, double screenHeight);
    // Moves and sizes the window's frame to the rectangle (twips).
    void placeWindow(const TwipsRect& placement);

    // --- Colours and tool tips ----------------------------------------------
    std::uint32_t pageColour() const { return m_pageColour; }
    void setPageColour(std::uint32_t colour) { m_pageColour = colour; }
    void ApplyPageColours();
    static const QStringList& ToolTipTexts(); // 13 texts, index 0 = tip 1
    std::int16_t toolTipsOff() const { return m_toolTipsOff; }
    void setToolTipsOff(std::int16_t off) { m_toolTipsOff = off; }
    // Re-check interval shown in the indicator's "On" tool tip.
    void setRecheckIntervalMinutes(std::int32_t minutes) { m_recheckIntervalMinutes = minutes; }
    void ApplyToolTips();

    // --- Text font ---------------------------------------------------------------
    struct TextFont
    {
        QString name;
        float size = 8;
        std::int16_t bold = 0; // -1 bold, 0 not
    };
    TextFont textFont() const { return m_textFont; }
    void setTextFont(const TextFont& font) { m_textFont = font; }
    // The font at load: the stored one when installed (size kept within 2 to
    // 12), else the first installed fallback, else the system default font.
    static TextFont chooseStartupFont(TextFont stored, const QStringList& installed,
                                      const QString& systemDefault);
    // Shows the font dialog once the window has become active, then applies
    // the text font to the lists, the date style chooser and the text boxes.
    void ApplyTextFont();
    // Replaces the font dialog (tests); it gets the initial font and returns
    // the chosen one, or the initial one when cancelled.
    using FontDialogRunner = std::function<QFont(const QFont& initial, QWidget* parent)>;
    void setFontDialogRunner(FontDialogRunner runner) { m_fontDialog = std::move(runner); }

    // --- Activation -------------------------------------------------------------
    bool hasBecomeActive() const { return m_becameActive; }
    // The first activation's window-side steps (colours, tool tips); also
    // called by the window's own activation.
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
    // The window became active for the first time (after its own steps).
    void firstActivated();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction, one concern per file.
    void buildWindowControls();
    void buildBottomRow();
    void buildTimers();
    void buildMenus();
    void buildSettingsPages();
    QGroupBox* buildSettingsPage(const QString& name, int page, const QString& heading);
    void buildPageFooter(QGroupBox* page, int pageNumber);
    void buildSpinBox(QWidget* page, const QString& name, int left, int top,
                      const QString& downName, const QString& upName);
    void buildAccountPage();
    void applyDesignFonts();
    void onTabChanged(int index);
    void enforceMinimumSize();
    void rememberPlacement();
    QList<QWidget*> textFontTargets() const;
    bool handleRightPress(QObject* watched);
    bool handleLinkClick(QObject* watched);

    QWidget* m_surface = nullptr;
    TabStrip* m_tabStrip = nullptr;
    MailListView* m_listView1 = nullptr;
    QTreeView* m_listView2 = nullptr;
    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame3 = nullptr;
    QGroupBox* m_pages[3] = {nullptr, nullptr, nullptr}; // Frame2, Frame4, Frame5
    QPlainTextEdit* m_text1 = nullptr;
    QLineEdit* m_text10 = nullptr;
    QFrame* m_picture7 = nullptr;
    QLabel* m_label17 = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_statusLabel = nullptr;
    QComboBox* m_imageCombo1 = nullptr;
    QMenu* m_menuP3Pop4 = nullptr;
    QTimer* m_timer1 = nullptr;
    QList<QWidget*> m_bottomRow; // Text10 and the bottom buttons

    MailWidths m_mailColumnWidths = DefaultMailColumnWidths;
    AccountWidths m_accountColumnWidths = DefaultAccountColumnWidths;
    MailListModel* m_ownMailModel = nullptr;
    BatchedRowsProxy* m_mailProxy = nullptr;
    AccountListModel* m_ownAccountModel = nullptr;
    MailListModel* m_mailModel = nullptr;
    AccountListModel* m_accountModel = nullptr;

    bool m_runBusy = false;
    bool m_becameActive = false;
    bool m_inLayout = false;
    std::int16_t m_deleteEnabled = 0;
    std::int16_t m_logSplit = 0;
    std::int16_t m_toolTipsOff = 0;
    std::int32_t m_recheckIntervalMinutes = 30;
    int m_settingsPage = 1;
    std::uint32_t m_pageColour;
    TwipsRect m_placement;
    TextFont m_textFont;
    FontDialogRunner m_fontDialog;
};
