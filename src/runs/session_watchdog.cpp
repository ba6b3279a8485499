#include "runs/session_watchdog.h"

#include "platform/tick_source.h"

SessionWatchdog::SessionWatchdog(TickSource& ticks, QObject* parent)
    : QObject(parent), m_ticks(ticks), m_timer(this)
{
    m_timer.setObjectName(QStringLiteral("Timer2"));
    // Every second, so a time-out is honoured to about a second whatever
    // its length.
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &SessionWatchdog::tick);
}

qint64 SessionWatchdog::now() const
{
    return qint64(qint32(m_ticks.tickCount()));
}

void SessionWatchdog::beginSession()
{
    m_sessionBytes = 0;
    m_replyAwaited = false;
}

void SessionWatchdog::replyAwaited()
{
    m_replyAwaited = true;
    m_markTick = now();
    m_markBytes = m_sessionBytes;
}

SessionWatchdog::Verdict SessionWatchdog::check(qint64& lastArrivalTick, Milliseconds timeout)
{
    const qint64 tickNow = now();
    // From the connection on (not only after the greeting was answered), so
    // a server that never greets is timed out as well.
    const qint64 silent = tickNow - lastArrivalTick;
    if (silent < 0)
        lastArrivalTick = tickNow; // the tick counter wrapped: measure afresh
    const qint64 sinceMark = tickNow - m_markTick;
    if (sinceMark < 0)
        m_markTick = tickNow;
    // The tick count is in milliseconds.
    if (Milliseconds(double(silent)) > timeout)
        return Verdict::Silent;
    // Silence alone misses a server that sends a byte now and then: a reply
    // must also grow by ProgressBytes within each time-out. A large reply
    // over a slow but working link passes every mark and is never cut.
    if (m_replyAwaited && Milliseconds(double(sinceMark)) > timeout) {
        if (m_sessionBytes - m_markBytes < ProgressBytes)
            return Verdict::TooSlow;
        m_markTick = tickNow;
        m_markBytes = m_sessionBytes;
    }
    return Verdict::Fine;
}
