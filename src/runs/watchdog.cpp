// The session watchdog (Timer2).
#include "runs/engine.h"
#include "storage/run_settings.h"

void Engine::watchdogTick()
{
    const qint64 now = tickNow();
    // From the connection on (not only after the greeting was answered), so
    // a server that never greets is timed out as well.
    const qint64 silent = now - m_ctx.lastArrivalTick;
    if (silent < 0)
        m_ctx.lastArrivalTick = now; // the tick counter wrapped: measure afresh
    const qint64 sinceMark = now - m_progressMarkTick;
    if (sinceMark < 0)
        m_progressMarkTick = now;
    const double limit = m_settings.ServerTimeoutMs;
    if (double(silent) > limit) {
        logSessionEnd(SessionEndCause::NoReply);
        settleDeletions(false);
        CloseConnection();
        return; // closed once; a pending cancel is seen by the run itself
    }
    // Silence alone misses a server that sends a byte now and then: a reply
    // must also grow by ProgressBytes within each time-out. A large reply
    // over a slow but working link passes every mark and is never cut.
    if (m_replyAwaited && double(sinceMark) > limit) {
        if (m_sessionBytes - m_progressMarkBytes < ProgressBytes) {
            logSessionEnd(SessionEndCause::TooSlow);
            settleDeletions(false);
            CloseConnection();
            return;
        }
        m_progressMarkTick = now;
        m_progressMarkBytes = m_sessionBytes;
    }
    if (m_cancelRequested == 1) {
        settleDeletions(false);
        CloseConnection();
    }
}
