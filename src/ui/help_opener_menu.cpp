#include "ui/help_opener_menu.h"

#include "ui/about_box.h"
#include "ui/help_opener.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QMenu>

void connectHelpMenu(MainWindow& form, AboutBox& about, const QString& programFolder,
                     HelpLauncher& launcher)
{
    const ProgramMenu& menu = form.menus().program;
    QObject::connect(menu.help, &QAction::triggered, &about,
                     [programFolder, &launcher] { HelpPage::openHelp(programFolder, launcher); });
    QObject::connect(menu.about, &QAction::triggered, &about, &AboutBox::show);
}
