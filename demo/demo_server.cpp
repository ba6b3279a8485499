// quorvamel-demo-server HOME: starts a private Dovecot with sample mail,
// writes HOME's data folder with two accounts pointing at it, prints
// "ready" and serves until standard input closes or SIGTERM/SIGINT.
// With --late SECONDS one more message arrives after that many seconds.
#include "demo_setup.h"
#include "support/servers_dovecot.h"

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] auto written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int lateSeconds = -1;
    if (const int at = int(args.indexOf("--late")); at >= 0 && at + 1 < args.size()) {
        lateSeconds = args.at(at + 1).toInt();
        args.remove(at, 2);
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: quorvamel-demo-server [--late SECONDS] HOME\n");
        return 2;
    }

    DovecotFixture dovecot;
    prepareDemoServer(dovecot);
    if (!dovecot.start()) {
        std::fprintf(stderr, "quorvamel-demo-server: %s\n", qPrintable(dovecot.errorString()));
        return 1;
    }
    if (!writeDemoHome(args.first(), dovecot.plainPort())) {
        std::fprintf(stderr, "quorvamel-demo-server: cannot write the demo home\n");
        return 1;
    }
    if (lateSeconds >= 0) {
        QTimer::singleShot(lateSeconds * 1000, &app,
                           [&dovecot] { dovecot.writeMessage("home", lateArrival()); });
    }

    ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });

    std::printf("ready: POP3 on 127.0.0.1:%u\n", dovecot.plainPort());
    std::fflush(stdout);
    const int status = app.exec();
    dovecot.stop();
    return status;
}
