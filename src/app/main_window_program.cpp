// The window program: start-up sequence, then the main window joined to the
// runs.
#include "app/single_instance.h"
#include "app/startup.h"
#include "app/window_program.h"
#include "platform/program_title.h"
#include "ui/message_box_prompter.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(programTitle());
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

    WindowProgram program(started, input.programFolder, prompter);
    if (!program.accountsLoaded()) {
        // The settings file's step is still the one in force.
        prompter.showMessage(programTitle(),
                             programTitle() + " Unable To Run: " + started.startupStep);
        return 1;
    }
    program.window().show();
    return app.exec();
}
