// quorvamel-demo-shot OUTPUT.png: the window after two demo checks, the
// first one's mail marked seen in between and one message arriving after
// it, saved as a picture. Run it under a display (xvfb-run -a).
// quorvamel-demo-shot --gallery FOLDER [--large]: a picture of every page
// and dialog instead (see demo_gallery.h); --large asks for a 14-point text
// font through the font dialog and makes the application font 14 points.
#include "app/startup.h"
#include "app/window_program.h"
#include "demo_gallery.h"
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
    const QStringList arguments = QApplication::arguments().mid(1);
    const bool gallery = arguments.size() >= 2 && arguments.at(0) == QLatin1String("--gallery");
    const bool large =
        gallery && arguments.size() == 3 && arguments.at(2) == QLatin1String("--large");
    if (!(arguments.size() == 1 || (gallery && (arguments.size() == 2 || large)))) {
        std::fprintf(stderr, "usage: quorvamel-demo-shot OUTPUT.png\n"
                             "       quorvamel-demo-shot --gallery FOLDER [--large]\n");
        return 2;
    }
    if (large) {
        QFont font = QApplication::font();
        font.setPointSize(14);
        QApplication::setFont(font);
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

    if (gallery) {
        if (!QTest::qWaitForWindowActive(&window))
            return 1;
        if (large) {
            window.setFontDialogRunner([](const QFont& initial, QWidget*) {
                QFont chosen = initial;
                chosen.setPointSize(14);
                return chosen;
            });
            window.applyTextFont();
        }
        const QString prefix = large ? QStringLiteral("large-") : QStringLiteral("default-");
        return takeGallery(window, arguments.at(1), prefix) ? 0 : 1;
    }

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
