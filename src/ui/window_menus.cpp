#include "ui/window_menus.h"

#include <QMenu>
#include <QTimer>

namespace {

QMenu* makeMenu(QWidget* window, const char* name)
{
    auto* created = new QMenu(window);
    created->setObjectName(QString::fromLatin1(name));
    return created;
}

QAction* makeItem(QMenu* into, const char* name, const QString& text)
{
    QAction* action = into->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QTimer* makeTimer(QWidget* window, const char* name, int interval)
{
    auto* timer = new QTimer(window);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    return timer;
}

} // namespace

WindowMenus buildWindowMenus(QWidget* window)
{
    WindowMenus menus;
    MailListMenu& mail = menus.mailList;
    mail.menu = makeMenu(window, "mnuP3Pop1");
    mail.checkAll = makeItem(mail.menu, "mnuCheckAll", QStringLiteral("Check All"));
    mail.unCheckAll = makeItem(mail.menu, "mnuUnCheckAll", QStringLiteral("Un-Check All"));
    mail.menu->addSeparator();
    mail.checkAllForUser =
        makeItem(mail.menu, "mnuCheckAllUser", QStringLiteral("Check All For User"));
    mail.unCheckAllForUser =
        makeItem(mail.menu, "mnuUnCheckAllUser", QStringLiteral("Un-Check All For User"));

    AccountListMenu& accounts = menus.accountList;
    accounts.menu = makeMenu(window, "mnuP3Pop2");
    accounts.moveUp = makeItem(accounts.menu, "mnuMoveUp", QStringLiteral("Move &Up"));
    accounts.moveDown = makeItem(accounts.menu, "mnuMovedown", QStringLiteral("Move &Down"));
    accounts.moveToTop = makeItem(accounts.menu, "mnuToTop", QStringLiteral("Move To &Top"));
    accounts.moveToBottom = makeItem(accounts.menu, "mnuToBot", QStringLiteral("Move To &Bottom"));
    accounts.menu->addSeparator()->setObjectName(QStringLiteral("mnuSep3"));
    accounts.deleteSelected = makeItem(
        accounts.menu, "mnuDelete", QStringLiteral("Delete &Selected User (Disregards CheckBox)"));
    accounts.menu->addSeparator()->setObjectName(QStringLiteral("mnuSepSignIn"));
    accounts.signIn = makeItem(accounts.menu, "mnuSignIn", QStringLiteral("Sign-&In..."));

    TrayMenu& tray = menus.tray;
    tray.menu = makeMenu(window, "mnuTrayIconPop1");
    tray.open = makeItem(tray.menu, "mnuTrayIcoShow", QStringLiteral("Open"));
    tray.close = makeItem(tray.menu, "mnuTrayIcoExit", QStringLiteral("Close"));
    tray.hideMenu = makeItem(tray.menu, "mnuTrayHideMenu", QStringLiteral("Hide Menu"));

    ProgramMenu& program = menus.program;
    program.menu = makeMenu(window, "mnuP3Pop4");
    program.help = makeItem(program.menu, "mnuHelp", QStringLiteral("&Help"));
    program.about = makeItem(program.menu, "mnuAbout", QStringLiteral("&About"));
    program.textFonts = makeItem(program.menu, "mnuFonts", QStringLiteral("&Text Fonts"));
    return menus;
}

WindowTimers buildWindowTimers(QWidget* window)
{
    return {makeTimer(window, "Timer1", 60000), makeTimer(window, "Timer2", 20000),
            makeTimer(window, "Timer3", 600), makeTimer(window, "Timer4", 1000),
            makeTimer(window, "Timer5", 5000)};
}
