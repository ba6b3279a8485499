#include "latency_runs.h"

#include "bench_support.h"
#include "support/servers_delay_line.h"
#include "support/servers_dovecot.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>
#include <algorithm>
#include <cstdio>

using namespace std::chrono_literals;

namespace {

// A run longer than this is not repeated: its noise is small against it.
constexpr double kRepeatBelowMs = 10000;

Timed runTimed(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment, int capMs)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(environment);
    Timed run;
    QElapsedTimer timer;
    timer.start();
    process.start();
    process.closeWriteChannel();
    if (!process.waitForFinished(capMs)) {
        run.wallMs = timer.nsecsElapsed() / 1e6;
        process.kill();
        process.waitForFinished();
        if (process.error() == QProcess::FailedToStart)
            run.error = program + QStringLiteral(": ") + process.errorString();
        run.stopped = true;
        return run;
    }
    run.wallMs = timer.nsecsElapsed() / 1e6;
    run.out = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        run.error = QStringLiteral("%1 exited %2; stderr:\n%3")
                        .arg(QFileInfo(program).fileName())
                        .arg(process.exitCode())
                        .arg(QString::fromLocal8Bit(process.readAllStandardError().right(2000)));
    return run;
}

void expectCount(Timed* run, const QString& what, int count)
{
    if (run->error.isEmpty() && !run->stopped && lastLine(run->out) != QByteArray::number(count))
        run->error = QStringLiteral("%1 printed \"%2\", not %3")
                         .arg(what, QString::fromLocal8Bit(lastLine(run->out)))
                         .arg(count);
}

bool copyFolder(const QString& from, const QString& to)
{
    QDir(to).removeRecursively();
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    bool ok = QDir().mkpath(to);
    while (ok && it.hasNext()) {
        const QFileInfo entry(it.next());
        const QString target =
            to + QLatin1Char('/') + QDir(from).relativeFilePath(entry.filePath());
        ok = entry.isDir() ? QDir().mkpath(target) : QFile::copy(entry.filePath(), target);
    }
    return ok;
}

// TOP and RETR commands of the sessions of `user` the server logged after
// `offset`, from the counts Dovecot writes when a session ends.
QPair<int, int> serverCounts(const DovecotFixture& dovecot, const QString& user, qsizetype offset)
{
    static const QRegularExpression counts(QStringLiteral("top=(\\d+)/\\d+, retr=(\\d+)/"));
    const QString tag = QStringLiteral("pop3(%1)").arg(user);
    QElapsedTimer waited;
    waited.start();
    do {
        int sessions = 0, tops = 0, retrs = 0;
        for (const QString& line : dovecot.logText().mid(offset).split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch m = counts.match(line);
            if (line.contains(tag) && m.hasMatch()) {
                ++sessions;
                tops += m.captured(1).toInt();
                retrs += m.captured(2).toInt();
            }
        }
        if (sessions > 0)
            return {tops, retrs};
        // The end of a session reaches the log a moment after the client.
        QThread::msleep(20);
    } while (waited.elapsed() < 3000);
    return {-1, -1};
}

// The rows without their last field (new or seen): a fresh data folder
// has no earlier list to tell them apart by.
QByteArray withoutStatus(const QByteArray& rows)
{
    QByteArray out;
    for (const QByteArray& row : rows.trimmed().split('\n'))
        out += row.left(row.lastIndexOf('\t')) + '\n';
    return out;
}

} // namespace

int LatencyRig::fail(const QString& error) const
{
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 2;
}

Timed LatencyRig::fastest(const std::function<Timed()>& once) const
{
    Timed best;
    for (int run = 0; run < runs; ++run) {
        Timed t = once();
        if (!t.error.isEmpty())
            return t;
        if (run == 0 || t.wallMs < best.wallMs)
            best = t;
        if (t.stopped || t.wallMs > kRepeatBelowMs)
            break;
    }
    return best;
}

std::pair<Timed, Timed> LatencyRig::fastestInTurns(const std::function<Timed()>& first,
                                                   const std::function<Timed()>& second) const
{
    std::pair<Timed, Timed> best;
    for (int run = 0; run < runs; ++run) {
        const std::pair<Timed, Timed> now{first(), second()};
        for (const Timed* t : {&now.first, &now.second}) {
            if (!t->error.isEmpty() || t->stopped)
                return now;
        }
        if (run == 0 || now.first.wallMs < best.first.wallMs)
            best.first = now.first;
        if (run == 0 || now.second.wallMs < best.second.wallMs)
            best.second = now.second;
    }
    return best;
}

QString LatencyRig::home(const QString& name, const QString& user, quint16 port,
                         QString* error) const
{
    QString path = homesPath + QLatin1Char('/') + name;
    if (!QFileInfo::exists(path) && !makeBenchHome(path, {{user, password, port}}, nullptr, error))
        return {};
    return path;
}

Timed LatencyRig::runCheck(const QString& home, bool rows, int count) const
{
    Timed run =
        runTimed(checkProgram, rows ? QStringList() : QStringList{QStringLiteral("--count")},
                 benchEnvironment(home), capMs);
    if (!rows)
        expectCount(&run, QStringLiteral("quorvamel-check"), count);
    else if (run.error.isEmpty() && !run.stopped && run.out.count('\n') != count)
        run.error = QStringLiteral("quorvamel-check listed %1 rows, not %2")
                        .arg(run.out.count('\n'))
                        .arg(count);
    return run;
}

Timed LatencyRig::poplib(const Endpoint& endpoint, const QString& user, int count)
{
    Timed run = runTimed(python,
                         {baselineScript, QStringLiteral("127.0.0.1"),
                          QString::number(endpoint.port), user, password},
                         QProcessEnvironment::systemEnvironment(), 600000);
    if (run.stopped)
        run.error = QStringLiteral("python poplib did not finish in 600 s");
    expectCount(&run, QStringLiteral("python poplib"), count);
    return run;
}

Timed LatencyRig::check(const Endpoint& endpoint, const QString& user, int count)
{
    Timed run;
    const QString path = home(user + QLatin1Char('-') + QString::number(endpoint.port), user,
                              endpoint.port, &run.error);
    if (path.isEmpty())
        return run;
    // Each timed run is a first check: what an earlier run cached goes.
    if (!forgetHeaderCache(path)) {
        run.error = QStringLiteral("cannot remove the header cache of ") + path;
        return run;
    }
    return runCheck(path, false, count);
}

Marginal LatencyRig::marginal(const Endpoint& endpoint, const Box& small, const Box& large,
                              Program program)
{
    Marginal m;
    m.count = large.count - small.count;
    m.small = fastest([&] { return (this->*program)(endpoint, small.user, small.count); });
    m.large = fastest([&] { return (this->*program)(endpoint, large.user, large.count); });
    m.error = m.small.error.isEmpty() ? m.large.error : m.small.error;
    m.stopped = m.small.stopped || m.large.stopped;
    for (const Timed* t : {&m.small, &m.large})
        std::printf("  %-22s %-16s %6d messages %s%10.1f ms\n",
                    qPrintable(endpoint.port != line.port()
                                   ? endpoint.name
                                   : endpoint.name + QLatin1Char(' ') +
                                         QString::number(line.oneWayDelay().count() / 500.0) +
                                         QStringLiteral(" ms")),
                    program == &LatencyRig::poplib ? "python poplib" : "quorvamel-check",
                    t == &m.small ? small.count : large.count, t->stopped ? ">" : " ", t->wallMs);
    std::fflush(stdout);
    return m;
}

double LatencyRig::noopRoundTripMs(const Endpoint& endpoint, const QString& user) const
{
    // Blocking is fine: the delay line runs on its own thread.
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), endpoint.port);
    const auto reply = [&] {
        while (!socket.canReadLine() && socket.waitForReadyRead(5000)) {
        }
        return socket.readLine();
    };
    const auto command = [&](const QByteArray& text) {
        socket.write(text + "\r\n");
        return reply();
    };
    if (!socket.waitForConnected(5000) || !reply().startsWith("+OK") ||
        !command("USER " + user.toUtf8()).startsWith("+OK") ||
        !command("PASS " + password.toUtf8()).startsWith("+OK"))
        return -1;
    QList<double> times;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!command("NOOP").startsWith("+OK"))
            return -1;
        times.append(timer.nsecsElapsed() / 1e6);
    }
    command("QUIT");
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

Timed LatencyRig::recheckOnce(const QString& snapshot, const QString& home, const QString& user,
                              int count, bool rows)
{
    Timed run;
    if (!copyFolder(snapshot, home)) {
        run.error = QStringLiteral("cannot copy %1 to %2").arg(snapshot, home);
        return run;
    }
    const qsizetype offset = dovecot.logText().size();
    run = runCheck(home, rows, count);
    std::tie(run.tops, run.retrs) = serverCounts(dovecot, user, offset);
    return run;
}

bool LatencyRig::recheck(const Box& big, const Endpoint& loopback, const Endpoint& delayed,
                         std::chrono::microseconds delay, const RecheckBaselines& base,
                         QString* error)
{
    // The first checks and the full ones go at loopback speed, through the
    // delay line too: its port is part of what the data folder remembers.
    line.setOneWayDelay(0us);
    const int total = big.count + 1;
    QMap<quint16, QString> snapshots;
    QMap<quint16, QByteArray> fullRows;
    for (const Endpoint& e : {loopback, delayed}) {
        const QString tag = big.user + QLatin1Char('-') + QString::number(e.port);
        const QString first = home(tag + QStringLiteral("-first"), big.user, e.port, error);
        Timed run = first.isEmpty() ? Timed{} : runCheck(first, false, big.count);
        if (first.isEmpty() || !run.error.isEmpty() || run.stopped) {
            if (error->isEmpty())
                *error = run.stopped ? QStringLiteral("the first check did not finish in time")
                                     : run.error;
            return false;
        }
        std::printf("re-check, %s: first check of %d messages %s ms\n", qPrintable(e.name),
                    big.count, qPrintable(QString::number(run.wallMs, 'f', 1)));
        snapshots[e.port] = first;
    }
    if (!dovecot.writeGeneratedMessages(big.user, 1, total)) {
        *error = QStringLiteral("cannot add a message");
        return false;
    }
    for (const Endpoint& e : {loopback, delayed}) {
        const QString tag = big.user + QLatin1Char('-') + QString::number(e.port);
        const QString fresh = home(tag + QStringLiteral("-full"), big.user, e.port, error);
        const Timed full = fresh.isEmpty() ? Timed{} : runCheck(fresh, true, total);
        if (fresh.isEmpty() || !full.error.isEmpty() || full.stopped) {
            if (error->isEmpty())
                *error = full.stopped ? QStringLiteral("the full check did not finish in time")
                                      : full.error;
            return false;
        }
        fullRows[e.port] = full.out;
    }
    const auto [poplibLoopback, poplibEmpty] =
        fastestInTurns([&] { return poplib(loopback, big.user, total); },
                       [&] { return poplib(loopback, base.emptyUser, 0); });
    for (const Timed* r : {&poplibLoopback, &poplibEmpty}) {
        if (!r->error.isEmpty()) {
            *error = r->error;
            return false;
        }
    }

    bool allMet = true;
    for (const Endpoint& e : {loopback, delayed}) {
        const bool isLine = e.port == delayed.port;
        line.setOneWayDelay(isLine ? delay : 0us);
        const QString work = homesPath + QStringLiteral("/recheck-") + QString::number(e.port);
        // Timed as every other check here, counting only; the rows come
        // from one more re-check of the same snapshot.
        const auto [run, empty] = fastestInTurns(
            [&] { return recheckOnce(snapshots[e.port], work, big.user, total, false); },
            [&] { return check(e, base.emptyUser, 0); });
        const Timed listed = recheckOnce(snapshots[e.port], work, big.user, total, true);
        for (const Timed* r : {&run, &empty, &listed}) {
            if (!r->error.isEmpty()) {
                *error = r->error;
                return false;
            }
        }
        const double marginalMs = run.wallMs - empty.wallMs;
        // Through the delay line poplib's check of the whole box would take
        // minutes: its cost per message at the smaller box stands in.
        const double poplibMs = isLine ? base.linePoplibPerMessageMs * total
                                       : poplibLoopback.wallMs - poplibEmpty.wallMs;
        const double share = marginalMs / poplibMs;
        const double target = isLine ? 0.02 : 0.10;
        const bool rowsEqual = !run.stopped && !listed.stopped && listed.tops == 1 &&
                               withoutStatus(listed.out) == withoutStatus(fullRows[e.port]);
        const QString rowsText =
            run.stopped
                ? QStringLiteral("rows not compared (stopped)")
                : QStringLiteral("rows %1 a full check's (%2 marked new)")
                      .arg(rowsEqual ? QStringLiteral("equal to") : QStringLiteral("DIFFER from"))
                      .arg(listed.out.count("\tnew\n"));
        const bool met = !run.stopped && run.tops == 1 && run.retrs == 0 && rowsEqual &&
                         poplibMs > 0 && share <= target;
        allMet = allMet && met;
        std::printf("re-check, %s%s: %s%.1f ms (empty box %.1f ms), server counted %s%d TOP and "
                    "%d RETR; %s; marginal time %s%.1f%% of python poplib's check of %d messages "
                    "(%.1f ms%s) (target <= %.0f%%): %s\n",
                    qPrintable(e.name), isLine ? " 20 ms" : "", run.stopped ? "stopped at " : "",
                    run.wallMs, empty.wallMs, run.stopped ? ">= " : "", run.tops, run.retrs,
                    qPrintable(rowsText), run.stopped ? "> " : "", share * 100, total, poplibMs,
                    isLine ? ", from its cost per message" : "", target * 100,
                    met ? "met" : "not met");
        printSummary(isLine ? "D6.7 line" : "D6.7 lo",
                     QStringLiteral("%1%2 TOP, %3 RETR, rows %4, %5%6%")
                         .arg(run.stopped ? QStringLiteral(">= ") : QString())
                         .arg(run.tops)
                         .arg(run.retrs)
                         .arg(run.stopped ? QStringLiteral("?")
                              : rowsEqual ? QStringLiteral("equal")
                                          : QStringLiteral("differ"))
                         .arg(run.stopped ? QStringLiteral("> ") : QString())
                         .arg(share * 100, 0, 'f', 2),
                     QStringLiteral("1 TOP, equal, <= %1%").arg(target * 100, 0, 'f', 0),
                     QStringLiteral("python poplib %1 s for %2 messages%3")
                         .arg(poplibMs / 1000, 0, 'f', 1)
                         .arg(total)
                         .arg(isLine ? QStringLiteral(" (est.)") : QString()),
                     met);
    }
    return allMet;
}
