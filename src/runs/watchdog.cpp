// The session watchdog (Timer2).
#include "runs/engine.h"
#include "storage/run_settings.h"

void Engine::watchdogTick()
{
    const qint64 now = tickNow();
    // From the connection on (not only after the greeting was answered), so
    // a server that never greets is timed out as well.
    const qint64 elapsed = now - m_ctx.LastArrivalTick;
    if (elapsed < 0)
        m_ctx.LastArrivalTick = now; // the tick counter wrapped: measure afresh
    // Silence alone misses a server that sends a byte now and then, or
    // streams a reply without end: the awaited reply as a whole must also
    // be complete within the time-out of the command that asked for it.
    const qint64 awaited = now - m_replyAwaitedSinceTick;
    if (awaited < 0)
        m_replyAwaitedSinceTick = now;
    const double limit = m_settings.ServerTimeoutMs;
    if (double(elapsed) > limit || double(awaited) > limit) {
        CloseConnection();
        return; // closed once; a pending cancel is seen by the run itself
    }
    if (m_cancelRequested == 1)
        CloseConnection();
}
