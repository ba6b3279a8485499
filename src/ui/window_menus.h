#pragma once

class QAction;
class QMenu;
class QTimer;
class QWidget;

// The window's pop-up menus and their items, each item typed so that the
// controllers connect to it directly.
struct MailListMenu // mnuP3Pop1: right click on the mail list
{
    QMenu* menu = nullptr;
    QAction* checkAll = nullptr;
    QAction* unCheckAll = nullptr;
    QAction* checkAllForUser = nullptr;
    QAction* unCheckAllForUser = nullptr;
};

struct AccountListMenu // mnuP3Pop2: right click on the account list
{
    QMenu* menu = nullptr;
    QAction* moveUp = nullptr;
    QAction* moveDown = nullptr;
    QAction* moveToTop = nullptr;
    QAction* moveToBottom = nullptr;
    QAction* deleteSelected = nullptr;
    QAction* signIn = nullptr; // the selected account's sign-in
};

struct TrayMenu // mnuTrayIconPop1
{
    QMenu* menu = nullptr;
    QAction* open = nullptr;
    QAction* close = nullptr;
    QAction* hideMenu = nullptr;
};

struct ProgramMenu // mnuP3Pop4: the "Menu" button
{
    QMenu* menu = nullptr;
    QAction* help = nullptr;
    QAction* about = nullptr;
    QAction* textFonts = nullptr;
};

struct WindowMenus
{
    MailListMenu mailList;
    AccountListMenu accountList;
    TrayMenu tray;
    ProgramMenu program;
};

// Builds the four menus as children of the window.
WindowMenus buildWindowMenus(QWidget* window);

// The window's timers, all stopped, with their periods.
struct WindowTimers
{
    QTimer* recheck = nullptr;        // Timer1: the timed re-check's minute
    QTimer* sessionWatch = nullptr;   // Timer2: kept for its name; runs use their own
    QTimer* indicatorPause = nullptr; // Timer3: the indicator shut after a right click
    QTimer* closeTick = nullptr;      // Timer4: the delayed close
    QTimer* alarm = nullptr;          // Timer5: the continuous alarm
};

WindowTimers buildWindowTimers(QWidget* window);
