#include "ui/help_opener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

bool DesktopHelpLauncher::startProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool DesktopHelpLauncher::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

namespace HelpPage {

QString normalisedProgramFolder(const QString& programFolder)
{
    QString folder = QDir::fromNativeSeparators(programFolder);
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

HelpTarget findHelpTarget(const QString& programFolder)
{
    const QString folder = normalisedProgramFolder(programFolder);
    HelpTarget target;
    target.helpFile = folder + QLatin1Char('/') + FileName;
    // The page's real path, its case kept: names are case-sensitive here.
    target.url = QUrl::fromLocalFile(target.helpFile);

    const qsizetype lastSeparator = folder.lastIndexOf(QLatin1Char('/'));
    if (lastSeparator >= 0) {
        const QString browser = folder.left(lastSeparator) + QLatin1Char('/') + CompanionBrowser;
        if (QFileInfo(browser).isFile())
            target.browser = browser;
    }
    return target;
}

void openHelp(const QString& programFolder, HelpLauncher& launcher)
{
    const HelpTarget target = findHelpTarget(programFolder);
    // The page travels as one argument, so a path with blanks stays whole.
    if (!target.browser.isEmpty() && launcher.startProgram(target.browser, {target.helpFile}))
        return;
    launcher.openUrl(target.url);
}

} // namespace HelpPage
