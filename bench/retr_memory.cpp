// RETR mode on one very large message: peak memory of quorvamel-check above
// the same program checking an empty mailbox, and its time for the message
// (t(large) - t(small), a mailbox of one short message: the same commands,
// so start-up and the fixed waits of a session cancel)
// against a raw socket client reading the same RETR reply, in the same run.
#include "bench_support.h"
#include "support/servers_dovecot.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

const QString kPassword = QStringLiteral("bench-pw");

QByteArray largeMessage(qint64 bytes)
{
    QByteArray text("From: Big Sender <big@example.com>\n"
                    "Subject: A very large message\n"
                    "Date: Mon, 3 Jun 2024 10:00:00 +0000\n"
                    "\n");
    text.reserve(bytes + 128);
    const QByteArray filler(60, 'x');
    for (int line = 0; text.size() < bytes; ++line)
        text += "line " + QByteArray::number(line).rightJustified(9, '0') + ' ' + filler + '\n';
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Peak memory and time of quorvamel-check in RETR mode on one large "
                       "message, against a raw socket client."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("megabytes"), QStringLiteral("Size of the message."),
                      QStringLiteral("n"), QStringLiteral("50")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs per measurement (fastest)."),
                      QStringLiteral("n"), QStringLiteral("7")});
    parser.process(app);
    const qint64 bytes = qMax(1, parser.value(QStringLiteral("megabytes")).toInt()) * 1000000LL;
    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());
    const QString bin = QCoreApplication::applicationDirPath();
    const QString check = bin + QStringLiteral("/quorvamel-check");
    const QString raw = bin + QStringLiteral("/raw_retr");

    DovecotFixture dovecot;
    dovecot.setPlainOnly(); // plain text on loopback, as the baseline reads it
    dovecot.addUser(QStringLiteral("empty"), kPassword);
    dovecot.addUser(QStringLiteral("small"), kPassword);
    if (dovecot.writeMessage(QStringLiteral("small"), largeMessage(1000)).isEmpty())
        return fail(QStringLiteral("cannot write the small message")), 2;
    dovecot.addUser(QStringLiteral("large"), kPassword);
    if (dovecot.writeMessage(QStringLiteral("large"), largeMessage(bytes)).isEmpty())
        return fail(QStringLiteral("cannot write the large message")), 2;
    if (!dovecot.start())
        return fail(dovecot.errorString()), 2;

    QTemporaryDir homes;
    for (const QString& user :
         {QStringLiteral("empty"), QStringLiteral("small"), QStringLiteral("large")}) {
        QString error;
        if (!makeBenchHome(
                homes.filePath(user), {{user, kPassword, dovecot.plainPort()}},
                [](SettingsRecord& s) { s.useRetr = 1; }, &error))
            return fail(error), 2;
    }
    const auto runCheck = [&](const QString& user, int expected, ChildRun* out) {
        // Every run fetches the message: none is answered from the header cache.
        if (!forgetHeaderCache(homes.filePath(user)))
            return fail(QStringLiteral("cannot remove the header cache of ") + user);
        *out = runChild(check, {QStringLiteral("--count")}, benchEnvironment(homes.filePath(user)));
        if (out->error.isEmpty() &&
            (out->exitCode != 0 || lastLine(out->out) != QByteArray::number(expected)))
            out->error = QStringLiteral("quorvamel-check for %1 exited %2 printing \"%3\":\n%4")
                             .arg(user)
                             .arg(out->exitCode)
                             .arg(QString::fromLocal8Bit(lastLine(out->out)),
                                  QString::fromLocal8Bit(out->err.right(2000)));
        return out->error.isEmpty() || fail(out->error);
    };
    const QStringList rawArgs{QStringLiteral("127.0.0.1"), QString::number(dovecot.plainPort()),
                              QStringLiteral("large"), kPassword};
    const auto runRaw = [&](ChildRun* out, double* retrMs, qint64* replyBytes) {
        *out = runChild(raw, rawArgs, benchEnvironment(homes.path()));
        const QList<QByteArray> fields = lastLine(out->out).split(' ');
        if (out->error.isEmpty() && (out->exitCode != 0 || fields.size() != 2))
            out->error = QStringLiteral("raw_retr exited %1: %2")
                             .arg(out->exitCode)
                             .arg(QString::fromLocal8Bit(out->err));
        if (!out->error.isEmpty())
            return fail(out->error);
        *replyBytes = fields[0].toLongLong();
        *retrMs = fields[1].toDouble();
        return true;
    };

    // The first read of the message fills the page cache: not measured.
    ChildRun warm;
    double warmMs = 0;
    qint64 replyBytes = 0;
    if (!runRaw(&warm, &warmMs, &replyBytes))
        return 2;

    ChildRun idleBest, smallBest, largeBest, rawBest;
    double rawRetrBest = 0;
    long idlePeakKb = 0, largePeakKb = 0;
    for (int run = 0; run < runs; ++run) {
        ChildRun idle, small, large, rawRun;
        double rawRetr = 0;
        if (!runRaw(&rawRun, &rawRetr, &replyBytes) ||
            !runCheck(QStringLiteral("empty"), 0, &idle) ||
            !runCheck(QStringLiteral("small"), 1, &small) ||
            !runCheck(QStringLiteral("large"), 1, &large))
            return 2;
        if (run == 0 || rawRetr < rawRetrBest) {
            rawRetrBest = rawRetr;
            rawBest = rawRun;
        }
        if (run == 0 || idle.wallMs < idleBest.wallMs)
            idleBest = idle;
        if (run == 0 || small.wallMs < smallBest.wallMs)
            smallBest = small;
        if (run == 0 || large.wallMs < largeBest.wallMs)
            largeBest = large;
        idlePeakKb = qMax(idlePeakKb, idle.maxRssKb);
        largePeakKb = qMax(largePeakKb, large.maxRssKb);
    }

    const double peakAboveMb = (largePeakKb - idlePeakKb) / 1024.0;
    const double checkMs = largeBest.wallMs - smallBest.wallMs;
    const double ratio = checkMs / rawRetrBest;
    std::printf("RETR of one %.1f MB message (reply %lld bytes), fastest of %d runs, Dovecot on "
                "127.0.0.1:%d\n",
                bytes / 1e6, replyBytes, runs, dovecot.plainPort());
    std::printf("  quorvamel-check empty mailbox  %8.1f ms wall %8.1f ms cpu  peak %7.1f MB\n",
                idleBest.wallMs, idleBest.cpuMs, idlePeakKb / 1024.0);
    std::printf("  quorvamel-check small message  %8.1f ms wall %8.1f ms cpu  peak %7.1f MB\n",
                smallBest.wallMs, smallBest.cpuMs, smallBest.maxRssKb / 1024.0);
    std::printf("  quorvamel-check large message  %8.1f ms wall %8.1f ms cpu  peak %7.1f MB\n",
                largeBest.wallMs, largeBest.cpuMs, largePeakKb / 1024.0);
    std::printf("  raw client                     %8.1f ms wall %8.1f ms cpu  peak %7.1f MB, "
                "RETR reply read in %.1f ms\n",
                rawBest.wallMs, rawBest.cpuMs, rawBest.maxRssKb / 1024.0, rawRetrBest);
    std::printf("peak memory above the idle program: %.1f MB (target < 64 MB): %s\n", peakAboveMb,
                peakAboveMb < 64 ? "met" : "MISSED");
    std::printf("time for the message: quorvamel-check %.1f ms (large - small), raw RETR read "
                "%.1f ms, ratio %.2f (target <= 1.2): %s\n",
                checkMs, rawRetrBest, ratio, ratio <= 1.2 ? "met" : "MISSED");
    printSummary("D6.2 memory", QStringLiteral("%1 MB above idle").arg(peakAboveMb, 0, 'f', 1),
                 QStringLiteral("< 64 MB"),
                 QStringLiteral("idle program peak %1 MB").arg(idlePeakKb / 1024.0, 0, 'f', 1),
                 peakAboveMb < 64);
    printSummary("D6.2 time",
                 QStringLiteral("%1 ms, ratio %2").arg(checkMs, 0, 'f', 1).arg(ratio, 0, 'f', 2),
                 QStringLiteral("ratio <= 1.2"),
                 QStringLiteral("raw RETR read %1 ms").arg(rawRetrBest, 0, 'f', 1), ratio <= 1.2);
    return peakAboveMb < 64 && ratio <= 1.2 ? 0 : 1;
}
