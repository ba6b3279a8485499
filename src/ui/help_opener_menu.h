#pragma once

#include <QString>

class AboutBox;
class MainWindow;
class HelpLauncher;

// The "Menu" items that lead out of the window: mnuHelp opens the help page
// beside the program, mnuAbout shows the About box. The launcher and the
// About box must outlive the window's menu.
void connectHelpMenu(MainWindow& form, AboutBox& about, const QString& programFolder,
                     HelpLauncher& launcher);
