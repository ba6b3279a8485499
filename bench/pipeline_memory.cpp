// Memory of checks with fetches in flight: peak resident memory of
// quorvamel-check above the same program checking an empty mailbox, for
//  - a TOP check of a large box (100,000 messages) with PIPELINING, against
//    the same check one command at a time (a relay hides PIPELINING), so
//    what the window itself costs shows apart from the rows' own memory;
//  - a RETR check of a box of large messages, several of them requested
//    before the first reply ends.
#include "bench_support.h"
#include "support/servers_capability_relay.h"
#include "support/servers_dovecot.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

const QString kPassword = QStringLiteral("bench-pw");
constexpr double BudgetMb = 64;

QByteArray largeMessage(int number, qint64 bytes)
{
    QByteArray text("From: Big Sender <big@example.com>\nSubject: Large message " +
                    QByteArray::number(number) + "\nDate: Mon, 3 Jun 2024 10:00:00 +0000\n\n");
    text.reserve(bytes + 128);
    const QByteArray filler(70, 'x');
    while (text.size() < bytes)
        text += filler + '\n';
    return text;
}

// The relay answers in a thread of its own: the bench waits for each child
// without running an event loop.
class RelayThread
{
public:
    explicit RelayThread(quint16 serverPort)
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context,
            [&] {
                m_relay = new CapabilityRelay(serverPort);
                m_relay->setHidden({"PIPELINING"});
                m_listening = m_relay->listen();
            },
            Qt::BlockingQueuedConnection);
    }
    ~RelayThread()
    {
        QMetaObject::invokeMethod(
            &m_context, [&] { delete m_relay; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    bool listening() const { return m_listening; }
    quint16 port() const { return m_relay->port(); }

private:
    QThread m_thread;
    QObject m_context;
    CapabilityRelay* m_relay = nullptr;
    bool m_listening = false;
};

struct Peak
{
    long kb = 0;
    double wallMs = 0;
    QString error;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Peak memory of quorvamel-check with pipelined fetches: a large box in TOP mode "
        "and a box of large messages in RETR mode."));
    parser.addHelpOption();
    const auto option = [&](const char* name, const char* text, const char* fallback) {
        parser.addOption({QString::fromLatin1(name), QString::fromLatin1(text), QStringLiteral("n"),
                          QString::fromLatin1(fallback)});
    };
    option("messages", "Messages of the box checked in TOP mode.", "100000");
    option("large", "Messages of the box checked in RETR mode.", "8");
    option("megabytes", "Size of each of those messages.", "16");
    option("runs", "Runs per measurement (highest peak counts).", "2");
    parser.process(app);
    const int messages = qMax(1, parser.value(QStringLiteral("messages")).toInt());
    const int large = qMax(1, parser.value(QStringLiteral("large")).toInt());
    const qint64 bytes = qMax(1, parser.value(QStringLiteral("megabytes")).toInt()) * 1000000LL;
    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());
    const QString check =
        QCoreApplication::applicationDirPath() + QStringLiteral("/quorvamel-check");

    DovecotFixture dovecot;
    dovecot.setPlainOnly(); // plain text on loopback, as the baseline reads it
    dovecot.addUser(QStringLiteral("empty"), kPassword);
    dovecot.addUser(QStringLiteral("many"), kPassword);
    dovecot.addUser(QStringLiteral("large"), kPassword);
    if (!dovecot.writeGeneratedMessages(QStringLiteral("many"), messages))
        return fail(QStringLiteral("cannot write the large box")), 2;
    for (int i = 1; i <= large; ++i)
        if (dovecot.writeMessage(QStringLiteral("large"), largeMessage(i, bytes)).isEmpty())
            return fail(QStringLiteral("cannot write a large message")), 2;
    if (!dovecot.start())
        return fail(dovecot.errorString()), 2;
    RelayThread relay(dovecot.plainPort());
    if (!relay.listening())
        return fail(QStringLiteral("the relay cannot listen")), 2;

    QTemporaryDir homes;
    struct Home
    {
        QString name, user;
        quint16 port;
        bool retr;
        int count;
    };
    const QList<Home> checks{
        {QStringLiteral("empty-top"), QStringLiteral("empty"), dovecot.plainPort(), false, 0},
        {QStringLiteral("many-pipelined"), QStringLiteral("many"), dovecot.plainPort(), false,
         messages},
        {QStringLiteral("many-one-at-a-time"), QStringLiteral("many"), relay.port(), false,
         messages},
        {QStringLiteral("empty-retr"), QStringLiteral("empty"), dovecot.plainPort(), true, 0},
        {QStringLiteral("large-pipelined"), QStringLiteral("large"), dovecot.plainPort(), true,
         large},
    };
    for (const Home& h : checks) {
        QString error;
        if (!makeBenchHome(
                homes.filePath(h.name), {{h.user, kPassword, h.port}},
                [&](SettingsRecord& s) { s.useRetr = h.retr ? 1 : 0; }, &error))
            return fail(error), 2;
    }
    const auto measure = [&](const Home& h) {
        Peak peak;
        for (int run = 0; run < runs && peak.error.isEmpty(); ++run) {
            forgetHeaderCache(homes.filePath(h.name)); // a first check every time
            const ChildRun child = runChild(check, {QStringLiteral("--count")},
                                            benchEnvironment(homes.filePath(h.name)));
            if (!child.error.isEmpty() || child.exitCode != 0 ||
                lastLine(child.out) != QByteArray::number(h.count))
                peak.error = QStringLiteral("%1: %2 exit %3 printing \"%4\"\n%5")
                                 .arg(h.name, child.error)
                                 .arg(child.exitCode)
                                 .arg(QString::fromLocal8Bit(lastLine(child.out)),
                                      QString::fromLocal8Bit(child.err.right(2000)));
            peak.kb = qMax(peak.kb, child.maxRssKb);
            peak.wallMs = run == 0 ? child.wallMs : qMin(peak.wallMs, child.wallMs);
        }
        return peak;
    };
    QHash<QString, Peak> peaks;
    for (const Home& h : checks) {
        const Peak p = measure(h);
        if (!p.error.isEmpty())
            return fail(p.error), 2;
        peaks.insert(h.name, p);
        std::printf("  %-20s peak %7.1f MB, fastest %8.1f ms\n", qPrintable(h.name), p.kb / 1024.0,
                    p.wallMs);
    }
    const auto mb = [&](const char* a, const char* b) {
        return (peaks[QLatin1String(a)].kb - peaks[QLatin1String(b)].kb) / 1024.0;
    };
    const double windowMb = mb("many-pipelined", "many-one-at-a-time");
    const double manyMb = mb("many-pipelined", "empty-top");
    const double largeMb = mb("large-pipelined", "empty-retr");
    std::printf("TOP check of %d messages: %.1f MB above the idle program; the fetch window adds "
                "%.1f MB to the one-at-a-time check (target < %.0f MB): %s\n",
                messages, manyMb, windowMb, BudgetMb, windowMb < BudgetMb ? "met" : "MISSED");
    std::printf("RETR check of %d messages of %.0f MB: %.1f MB above the idle program (target < "
                "%.0f MB): %s\n",
                large, bytes / 1e6, largeMb, BudgetMb, largeMb < BudgetMb ? "met" : "MISSED");
    printSummary(
        "D6.2 window",
        QStringLiteral("window adds %1 MB, %2 messages").arg(windowMb, 0, 'f', 1).arg(messages),
        QStringLiteral("< 64 MB"),
        QStringLiteral("one at a time %1 MB above idle").arg(manyMb - windowMb, 0, 'f', 1),
        windowMb < BudgetMb);
    printSummary("D6.2 RETRs",
                 QStringLiteral("%1 MB above idle, %2 x %3 MB")
                     .arg(largeMb, 0, 'f', 1)
                     .arg(large)
                     .arg(bytes / 1e6, 0, 'f', 0),
                 QStringLiteral("< 64 MB"), QStringLiteral("idle program"), largeMb < BudgetMb);
    return windowMb < BudgetMb && largeMb < BudgetMb ? 0 : 1;
}
