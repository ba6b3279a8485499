#include "ui/help_opener_menu.h"

#include "ui/about_box.h"
#include "ui/form10.h"
#include "ui/help_opener.h"

#include <QAction>
#include <QMenu>

void connectHelpMenu(Form10& form, AboutBox& about, const QString& programFolder,
                     HelpLauncher& launcher)
{
    auto* menu = form.findChild<QMenu*>(QStringLiteral("mnuP3Pop4"));
    if (!menu)
        return;
    if (auto* help = menu->findChild<QAction*>(QStringLiteral("mnuHelp"))) {
        QObject::connect(help, &QAction::triggered, &about, [programFolder, &launcher] {
            HelpPage::openHelp(programFolder, launcher);
        });
    }
    if (auto* item = menu->findChild<QAction*>(QStringLiteral("mnuAbout")))
        QObject::connect(item, &QAction::triggered, &about, &AboutBox::show);
}
