#pragma once

// The timed runs of the latency benchmark: the poplib yardstick and
// quorvamel-check, each to a given endpoint (Dovecot itself or the delay
// line in front of it), the fastest of several runs, marginal costs, and
// the re-check with the header cache.
#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>

class DelayLine;
class DovecotFixture;

struct Endpoint
{
    QString name;
    quint16 port = 0;
};

struct Box
{
    QString user;
    int count = 0;
};

struct Timed
{
    double wallMs = 0;
    bool stopped = false; // still running at the cap: wallMs is a lower bound
    QByteArray out;
    QString error;
    int tops = -1; // TOP and RETR commands the server counted, when asked
    int retrs = -1;
};

struct Marginal
{
    Timed small;
    Timed large;
    int count = 0; // messages between the two boxes
    bool stopped = false;
    QString error;
    double perMessageMs() const { return (large.wallMs - small.wallMs) / count; }
};

// What the re-check is measured against, from the per-message runs.
struct RecheckBaselines
{
    double linePoplibPerMessageMs = 0;
    // The user of the empty box: what a check costs before any message.
    QString emptyUser;
};

struct LatencyRig
{
    DovecotFixture& dovecot;
    DelayLine& line;
    QString homesPath;
    QString checkProgram;
    QString python;
    QString baselineScript;
    QString password;
    int runs = 3;
    int capMs = 60000;

    using Program = Timed (LatencyRig::*)(const Endpoint&, const QString& user, int count);
    // One run that must report `count` messages.
    Timed poplib(const Endpoint& endpoint, const QString& user, int count);
    Timed check(const Endpoint& endpoint, const QString& user, int count);
    Marginal marginal(const Endpoint& endpoint, const Box& small, const Box& large,
                      Program program);
    // The median time of a NOOP on a logged-on session.
    double noopRoundTripMs(const Endpoint& endpoint, const QString& user) const;
    // Prints its figures and summary lines; false when a target is missed
    // (or on error, with `error` set).
    bool recheck(const Box& big, const Endpoint& loopback, const Endpoint& delayed,
                 std::chrono::microseconds delay, const RecheckBaselines& base, QString* error);
    int fail(const QString& error) const;

private:
    Timed fastest(const std::function<Timed()>& once) const;
    // The fastest of each, their runs taken in turns, so a change in the
    // machine's load while the bench runs weighs on both alike.
    std::pair<Timed, Timed> fastestInTurns(const std::function<Timed()>& first,
                                           const std::function<Timed()>& second) const;
    // The home named `name`, made on first use with one account.
    QString home(const QString& name, const QString& user, quint16 port, QString* error) const;
    Timed runCheck(const QString& home, bool rows, int count) const;
    // A re-check on a copy of the snapshot's home; rows: it lists them,
    // else it only counts.
    Timed recheckOnce(const QString& snapshot, const QString& home, const QString& user, int count,
                      bool rows);
};
