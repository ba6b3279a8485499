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
    if (double(elapsed) > m_settings.ServerTimeoutMs) {
        CloseConnection();
        return; // closed once; a pending cancel is seen by the run itself
    }
    if (m_cancelRequested == 1)
        CloseConnection();
}
