#pragma once

#include "platform/durations.h"

#include <QObject>
#include <QTimer>

class TickSource;

// Guards one session against a server that goes silent or drips: it looks
// every second (its timer's object name is "Timer2"). A session ends when
// nothing arrived within the time-out, or when a reply awaited did not grow
// by ProgressBytes within one time-out.
class SessionWatchdog : public QObject
{
    Q_OBJECT
public:
    enum class Verdict { Fine, Silent, TooSlow };

    // A reply must grow by this many bytes within each time-out.
    static constexpr qint64 ProgressBytes = 1024;

    explicit SessionWatchdog(TickSource& ticks, QObject* parent = nullptr);

    QTimer& timer() { return m_timer; }
    // The tick count as a signed 32-bit value widened to 64 bits.
    qint64 now() const;

    // A new connection: nothing of the last one counts.
    void beginSession();
    void bytesReceived(qint64 count) { m_sessionBytes += count; }
    // A command went out (or the connection stands): its reply is awaited
    // from now on.
    void replyAwaited();

    // lastArrivalTick is the session's; a wrapped tick counter restarts it.
    Verdict check(qint64& lastArrivalTick, Milliseconds timeout);

signals:
    void tick();

private:
    TickSource& m_ticks;
    QTimer m_timer;
    qint64 m_markTick = 0;
    qint64 m_markBytes = 0;
    qint64 m_sessionBytes = 0;
    bool m_replyAwaited = false;
};
