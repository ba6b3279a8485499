#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Starts programs and opens URLs for the help page; tests put a recorder in
// its place.
class HelpLauncher
{
public:
    virtual ~HelpLauncher() = default;
    // Runs the program with the arguments, not waiting for it; false when it
    // could not be started.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
    // Asks the desktop to open the URL; false when nothing could open it.
    virtual bool openUrl(const QUrl& url) = 0;
};

// The desktop's own launcher: QProcess::startDetached and QDesktopServices.
class DesktopHelpLauncher : public HelpLauncher
{
public:
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool openUrl(const QUrl& url) override;
};

// How the help page is opened: in the companion browser found beside the
// program's parent folder, or through the desktop as a file URL.
struct HelpTarget
{
    QString helpFile;
    // Empty when the companion browser is not there.
    QString browser;
    QUrl url;
};

namespace HelpPage {
inline const QString FileName = QStringLiteral("QuorvamelHelp.htm");
// Companion browser, relative to the parent of the program folder.
inline const QString CompanionBrowser = QStringLiteral("Tamrivoskelder2/Tamrivoskelder2");

// The program folder as the help rules use it: '/' separators and no
// trailing one, so that a folder at the file system's root is empty and
// "/" + a file name can always be appended.
QString normalisedProgramFolder(const QString& programFolder);

// Decides where the help page is and what opens it. Only an existing file
// (not a folder) counts as the companion browser.
HelpTarget findHelpTarget(const QString& programFolder);

// Opens the help page: the companion browser with the page as its one
// argument; else, or when the browser cannot be started, the file URL.
// Failures are not reported.
void openHelp(const QString& programFolder, HelpLauncher& launcher);
} // namespace HelpPage
