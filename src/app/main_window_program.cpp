// The window program: start-up sequence, then the main window.
#include "app/startup.h"
#include "ui/form10.h"
#include "ui/message_box_prompter.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    QApplication::setApplicationVersion(QStringLiteral(QUORVAMEL_VERSION));

    const QString home = QDir::homePath();
    SingleInstanceGuard guard(home);
    if (!guard.isFirstInstance())
        return 0;

    MessageBoxPrompter prompter;
    StartupInput input;
    input.programFolder = programFolderFrom(QApplication::applicationDirPath());
    input.homeFolder = home;
    input.prompter = &prompter;
    const StartupResult started = runStartupSequence(input);
    if (started.outcome != StartupResult::ShowWindow)
        return started.outcome == StartupResult::Failed ? 1 : 0;

    Form10 window;
    prompter.setParentWidget(&window);
    window.show();
    return app.exec();
}
