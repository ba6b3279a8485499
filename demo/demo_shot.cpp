// quorvamel-demo-shot OUTPUT.png: the window after two demo checks, the
// first one's mail marked seen in between and one message arriving after
// it, saved as a picture. Run it under a display (xvfb-run -a).
#include "app/startup.h"
#include "app/window_program.h"
#include "demo_setup.h"
#include "support/servers_dovecot.h"
#include "ui/message_box_prompter.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

bool clickAndWaitForRun(MainWindow& window, const char* button)
{
    auto* command1 = window.findChild<QPushButton*>("Command1");
    window.findChild<QPushButton*>(button)->click();
    return QTest::qWaitFor([command1] { return command1->isEnabled(); }, 30000);
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvamel-demo-shot OUTPUT.png\n");
        return 2;
    }

    DovecotFixture dovecot;
    prepareDemoServer(dovecot);
    if (!dovecot.start() || !writeDemoHome(home.path(), dovecot.plainPort(), false)) {
        std::fprintf(stderr, "quorvamel-demo-shot: %s\n", qPrintable(dovecot.errorString()));
        return 1;
    }

    MessageBoxPrompter prompter;
    StartupInput input{programFolderFrom(QApplication::applicationDirPath()), home.path(),
                       &prompter};
    const StartupResult started = runStartupSequence(input);
    if (started.outcome != StartupResult::ShowWindow)
        return 1;
    WindowProgram program(started, input.programFolder, prompter);
    MainWindow& window = program.window();
    window.resize(900, 420);
    window.show();

    // Check, mark everything seen, let one message arrive, check again.
    if (!clickAndWaitForRun(window, "Command1"))
        return 1;
    window.findChild<QPushButton*>("Command2")->click();
    dovecot.writeMessage("home", lateArrival());
    if (!clickAndWaitForRun(window, "Command1"))
        return 1;
    QTest::qWait(500); // the list shows arriving rows in batches
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "quorvamel-demo-shot: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s\n", argv[1]);
    return 0;
}
