// The window program: start-up sequence, then the main window joined to the
// runs.
#include "app/not_dumpable.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "app/termination_signals.h"
#include "app/window_program.h"
#include "platform/program_title.h"
#include "ui/message_box_prompter.h"

#include <QApplication>
#include <QDir>
#include <QSessionManager>

int main(int argc, char** argv)
{
    // Before any password is read or typed.
    makeProcessNotDumpable();
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
        prompter.showMessage(MessageKind::Error, programTitle(),
                             programTitle() + " Unable To Run: " + started.startupStep);
        return 1;
    }
    // A later start wants the window. Termination signals close it with its
    // saves; the session manager gets the saves and ends the program itself
    // (it asks for them at checkpoints too, where the program must go on).
    QObject::connect(&guard, &SingleInstanceGuard::showRequested, &app,
                     [&program] { program.showWindow(); });
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &app,
        [&program](QSessionManager&) { program.saveForSessionEnd(); }, Qt::DirectConnection);
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &app,
                     [&program] { program.closeForSessionEnd(); });
    program.window().show();
    return app.exec();
}
