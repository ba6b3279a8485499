// Latency: quorvamel-check against a sequential Python poplib client on a
// private Dovecot, straight over loopback and through a delay line that
// stands in for a distant server, all in one run. Figures:
//  - the marginal cost per message, (t(N) - t(0)) / N, of a check of N
//    messages, at 20 ms round trip, on loopback, and at 100 ms;
//  - the re-check of a large box after one message came in, with the data
//    folder of its first check: the headers it fetched (from the server's
//    own count of TOP and RETR), its rows against a full check's, and its
//    marginal time against poplib's check of the same box.
#include "bench_support.h"
#include "latency_runs.h"
#include "support/servers_delay_line.h"
#include "support/servers_dovecot.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

using namespace std::chrono_literals;

namespace {

const QString kPassword = QStringLiteral("bench-pw");

QString ms(double v)
{
    return QString::number(v, 'f', v < 10 ? 3 : 1) + QStringLiteral(" ms");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Marginal cost per message of quorvamel-check against a Python poplib client, on "
        "loopback and through a delay line, and of a re-check with the header cache."));
    parser.addHelpOption();
    const auto option = [&](const char* name, const char* text, const char* fallback) {
        parser.addOption({QString::fromLatin1(name), QString::fromLatin1(text), QStringLiteral("n"),
                          QString::fromLatin1(fallback)});
    };
    option("runs", "Runs per point (fastest counts; a run over 10 s is not repeated).", "3");
    option("messages", "Messages of the box of the per-message figures through the delay line.",
           "1000");
    option("recheck-messages",
           "Messages of the re-checked box before the new one, and of the loopback figure.",
           "10000");
    option("slow-messages", "Messages of poplib's box at 100 ms round trip.", "100");
    option("cap", "Seconds after which a run of quorvamel-check is stopped.", "60");
    parser.addOption({QStringLiteral("python"), QStringLiteral("Python 3 interpreter."),
                      QStringLiteral("path"), QStringLiteral("python3")});
    parser.process(app);
    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());
    const int messages = qMax(1, parser.value(QStringLiteral("messages")).toInt());
    const int recheckMessages = qMax(1, parser.value(QStringLiteral("recheck-messages")).toInt());
    const int slowMessages = qMax(1, parser.value(QStringLiteral("slow-messages")).toInt());

    const Box empty{QStringLiteral("empty"), 0};
    const Box box{QStringLiteral("box"), messages};
    const Box slowBox{QStringLiteral("slow"), slowMessages};
    const Box bigBox{QStringLiteral("big"), recheckMessages};
    DovecotFixture dovecot;
    dovecot.setPlainOnly();
    for (const Box& b : {empty, box, slowBox, bigBox}) {
        dovecot.addUser(b.user, kPassword);
        if (!dovecot.writeGeneratedMessages(b.user, b.count)) {
            std::fprintf(stderr, "cannot write the mailbox of %s\n", qPrintable(b.user));
            return 2;
        }
    }
    if (!dovecot.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(dovecot.errorString()));
        return 2;
    }
    DelayLine line(dovecot.plainPort());
    if (!line.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(line.errorString()));
        return 2;
    }
    QTemporaryDir homes;
    LatencyRig rig{dovecot,
                   line,
                   homes.path(),
                   QCoreApplication::applicationDirPath() + QStringLiteral("/quorvamel-check"),
                   parser.value(QStringLiteral("python")),
                   QStringLiteral(QUORVAMEL_BENCH_DIR "/poplib_baseline.py"),
                   kPassword,
                   runs,
                   parser.value(QStringLiteral("cap")).toInt() * 1000};
    if (!QFileInfo(rig.checkProgram).isExecutable()) {
        std::fprintf(stderr, "quorvamel-check not found at %s\n", qPrintable(rig.checkProgram));
        return 2;
    }
    const Endpoint loopback{QStringLiteral("loopback"), dovecot.plainPort()};
    const Endpoint delayed{QStringLiteral("delay line"), line.port()};

    // The first log-on to a mailbox builds Dovecot's index: not measured.
    for (const Box& b : {empty, box, slowBox, bigBox})
        if (!rig.poplib(loopback, b.user, b.count).error.isEmpty())
            return rig.fail(rig.poplib(loopback, b.user, b.count).error);

    std::printf("delay line: a userspace TCP proxy in this program (every chunk held the set "
                "delay each way, order kept); no network namespace or netem is used\n");
    line.setOneWayDelay(10ms);
    std::printf("POP3 NOOP round trip, median of 20: loopback %s, delay line %s (set 20 ms)\n",
                qPrintable(ms(rig.noopRoundTripMs(loopback, empty.user))),
                qPrintable(ms(rig.noopRoundTripMs(delayed, empty.user))));
    std::printf("fastest of %d runs per point; a run over 10 s is not repeated, one of "
                "quorvamel-check over %d s is stopped\n",
                runs, rig.capMs / 1000);

    // Per-message cost: poplib and quorvamel-check at 0 and N messages. On
    // loopback the messages of a 1,000-message box take less time than
    // Python's start-up varies by, so the big box serves there.
    bool allMet = true;
    QMap<QString, Marginal> at20;
    for (const Endpoint& e : {delayed, loopback}) {
        const bool isLine = e.port == line.port();
        const Box& large = isLine ? box : bigBox;
        Marginal poplib = rig.marginal(e, empty, large, &LatencyRig::poplib);
        Marginal check = rig.marginal(e, empty, large, &LatencyRig::check);
        if (!poplib.error.isEmpty() || !check.error.isEmpty())
            return rig.fail(poplib.error + check.error);
        const double ratio = check.perMessageMs() / poplib.perMessageMs();
        const double target = isLine ? 0.05 : 0.5;
        // A baseline lost in the noise gives no ratio worth the name.
        const bool measured = poplib.perMessageMs() > 0;
        const bool met = measured && ratio <= target && !check.stopped;
        std::printf("%s: per message quorvamel-check %s%s, python poplib %s, ratio %s%.3f "
                    "(target <= %.2f): %s\n",
                    qPrintable(e.name + (isLine ? QStringLiteral(" 20 ms") : QString())),
                    check.stopped ? "> " : "", qPrintable(ms(check.perMessageMs())),
                    qPrintable(ms(poplib.perMessageMs())), check.stopped ? "> " : "", ratio, target,
                    met        ? "met"
                    : measured ? "not met"
                               : "not met (the baseline is within the noise)");
        printSummary(isLine ? "D6.6 line" : "D6.6 lo",
                     QStringLiteral("ratio %1%2 (%3/message), %4 messages%5")
                         .arg(check.stopped ? QStringLiteral("> ") : QString())
                         .arg(ratio, 0, 'f', 3)
                         .arg(ms(check.perMessageMs()))
                         .arg(large.count)
                         .arg(isLine ? QStringLiteral(", 20 ms RTT") : QString()),
                     isLine ? QStringLiteral("<= 1/20") : QStringLiteral("<= 0.5"),
                     QStringLiteral("python poplib %1/message").arg(ms(poplib.perMessageMs())),
                     met);
        allMet = allMet && met;
        at20[e.name + QStringLiteral(" poplib")] = poplib;
        at20[e.name + QStringLiteral(" check")] = check;
    }

    // 100 ms: a sequential client pays one round trip a message, so
    // poplib's cost per message is taken on a smaller box.
    line.setOneWayDelay(50ms);
    std::printf("POP3 NOOP round trip through the delay line, median of 20: %s (set 100 ms)\n",
                qPrintable(ms(rig.noopRoundTripMs(delayed, empty.user))));
    {
        const Marginal poplib = rig.marginal(delayed, empty, slowBox, &LatencyRig::poplib);
        const Marginal check = rig.marginal(delayed, empty, box, &LatencyRig::check);
        if (!poplib.error.isEmpty() || !check.error.isEmpty())
            return rig.fail(poplib.error + check.error);
        const double ratio = check.perMessageMs() / poplib.perMessageMs();
        std::printf("delay line 100 ms: per message quorvamel-check %s%s (%d messages), python "
                    "poplib %s (%d messages), ratio %.3f\n",
                    check.stopped ? "> " : "", qPrintable(ms(check.perMessageMs())), messages,
                    qPrintable(ms(poplib.perMessageMs())), slowMessages, ratio);
        std::printf("SUMMARY|D6.6 100ms|ratio %s%.3f (%s/message), %d messages|no target|python "
                    "poplib %s/message (%d messages)|figure\n",
                    check.stopped ? "> " : "", ratio, qPrintable(ms(check.perMessageMs())),
                    messages, qPrintable(ms(poplib.perMessageMs())), slowMessages);
    }

    // The re-check: one home per endpoint checks the big box, one message
    // comes in, and each run re-checks from a copy of the home as the first
    // check left it.
    // Each re-check is set against checks of the empty box timed in turn
    // with it.
    const RecheckBaselines base{at20[delayed.name + QStringLiteral(" poplib")].perMessageMs(),
                                empty.user};
    QString error;
    const bool recheckMet = rig.recheck(bigBox, loopback, delayed, 10ms, base, &error);
    if (!error.isEmpty())
        return rig.fail(error);
    allMet = allMet && recheckMet;
    return allMet ? 0 : 1;
}
