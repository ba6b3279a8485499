#include "runs/recheck_clock.h"

#include "platform/connectivity.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "platform/wait_with_events.h"
#include "runs/run_coordinator.h"
#include "runs/run_texts.h"
#include "storage/run_settings.h"

#include <QTimer>
#include <utility>

namespace {

QTimer* ownTimer(QTimer* given, QObject* owner, const char* name, int intervalMs)
{
    if (given)
        return given;
    auto* timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(intervalMs);
    return timer;
}

} // namespace

QString RecheckClock::onTip(std::int32_t intervalMinutes)
{
    return QStringLiteral("On - Minutes Until Next Timed Re-Check For Mail - Interval Set = ") +
           QString::number(intervalMinutes) + QStringLiteral(" (dbl-click on/off)");
}

RecheckClock::RecheckClock(RunSettings& settings, RunCoordinator& runs, Connectivity& connectivity,
                           Prompter& prompter, QTimer* timer1, QTimer* timer5, QObject* parent)
    : QObject(parent), m_settings(settings), m_runs(runs), m_connectivity(connectivity),
      m_prompter(prompter), m_timer1(ownTimer(timer1, this, "Timer1", 60000)),
      m_timer5(ownTimer(timer5, this, "Timer5", 5000))
{
    m_timer1->stop();
    m_timer5->stop();
    connect(m_timer1, &QTimer::timeout, this, &RecheckClock::timedRecheckTick);
    connect(m_timer5, &QTimer::timeout, this, &RecheckClock::alarmTick);
    // The minutes of a check run are not counted.
    connect(&runs, &RunCoordinator::stateChanged, this, [this](RunState state) {
        if (state == RunState::Checking)
            m_minutesSinceCheck = 0;
    });
    connect(&runs, &RunCoordinator::checkRunStarted, this, &RecheckClock::checkRunStarted);
    connect(&runs, &RunCoordinator::checkRunCompleted, this, [this](int newMailCount, int) {
        m_checkRunEnding = true;
        checkRunCompleted(newMailCount);
    });
    // Only the end of a check restarts the count: a delete run, or a click
    // on "Delete Mail" that started none, leaves it where it was. A check
    // refused while a delete runs halts without ending that run, so the
    // delete's own end clears the mark again.
    connect(&runs, &RunCoordinator::checkRunHalted, this, [this] { m_checkRunEnding = true; });
    connect(&runs, &RunCoordinator::deleteRunCompleted, this, [this] { m_checkRunEnding = false; });
    connect(&runs, &RunCoordinator::deleteRunHalted, this, [this] { m_checkRunEnding = false; });
    connect(&runs, &RunCoordinator::runEnded, this, [this] {
        if (std::exchange(m_checkRunEnding, false))
            runEnded();
    });
}

void RecheckClock::setMinuteMs(int ms)
{
    m_timer1->setInterval(ms);
}

int RecheckClock::minuteMs() const
{
    return m_timer1->interval();
}

bool RecheckClock::isRunning() const
{
    return m_timer1->isActive();
}

bool RecheckClock::alarmActive() const
{
    return m_timer5->isActive();
}

std::optional<QString> RecheckClock::tipUnlessOff(const QString& tip) const
{
    return m_settings.toolTipsOff ? QString() : tip;
}

RecheckIndicator RecheckClock::countingIndicator() const
{
    return {QString::number(m_settings.recheckIntervalMinutes - m_minutesSinceCheck), std::nullopt,
            tipUnlessOff(onTip(m_settings.recheckIntervalMinutes))};
}

void RecheckClock::timedRecheckTick()
{
    if (m_runs.state() == RunState::Checking) {
        // The minutes of a run are not counted.
        m_minutesSinceCheck = 0;
        return;
    }
    if (m_runs.isBusy())
        return;
    const std::int32_t interval = m_settings.recheckIntervalMinutes;
    m_minutesSinceCheck += 1;
    if (m_settings.idleIfOffline && m_minutesSinceCheck >= interval) {
        if (!m_connectivity.onlineState().online) {
            // Tested again at the next tick.
            m_minutesSinceCheck = interval - 1;
            emit indicatorChanged({QStringLiteral("Idle"), std::nullopt, IdleTip});
            return;
        }
    }
    if (m_minutesSinceCheck < interval) {
        emit indicatorChanged(
            {QString::number(interval - m_minutesSinceCheck), std::nullopt, std::nullopt});
        return;
    }
    m_runs.reserve();
    emit timedRunStarting();
    m_minutesSinceCheck = 0;
    emit indicatorChanged({QStringLiteral("0"), std::nullopt, std::nullopt});
    m_runs.startCheck();
}

void RecheckClock::toggle()
{
    if (m_timer1->isActive()) {
        m_minutesSinceCheck = 0;
        m_timer1->stop();
        emit indicatorChanged({QString(), TimerLook::Off, tipUnlessOff(OffTip)});
    } else if (m_settings.recheckIntervalMinutes > 0) {
        m_minutesSinceCheck = 0;
        m_timer1->start();
        emit indicatorChanged({QString::number(m_settings.recheckIntervalMinutes), TimerLook::On,
                               tipUnlessOff(onTip(m_settings.recheckIntervalMinutes))});
    } else {
        m_prompter.showMessage(MessageKind::Warning, programTitle(),
                               QStringLiteral("Your Timer Setting Should Be Set Greater\n"
                                              "Than 0 Min. To Use Timed Re-Check For Mail."));
    }
}

void RecheckClock::userRunStarting()
{
    m_minutesSinceCheck = 0;
    if (m_timer1->isActive())
        emit indicatorChanged(
            {QString::number(m_settings.recheckIntervalMinutes), std::nullopt, std::nullopt});
}

void RecheckClock::checkRunStarted()
{
    if (!m_settings.autoStartTimer || m_settings.recheckIntervalMinutes <= 0 ||
        m_timer1->isActive())
        return;
    m_minutesSinceCheck = 0;
    m_timer1->start();
    emit indicatorChanged({QString::number(m_settings.recheckIntervalMinutes), TimerLook::On,
                           tipUnlessOff(onTip(m_settings.recheckIntervalMinutes))});
}

void RecheckClock::runEnded()
{
    userRunStarting();
}

void RecheckClock::checkRunCompleted(int newMailCount)
{
    if (!m_settings.playSound || newMailCount < 1)
        return;
    beep();
    if (m_settings.continuousAlarm) {
        m_timer5->start();
        emit alarmShown(true);
    }
}

void RecheckClock::intervalStepped()
{
    if (m_timer1->isActive())
        emit indicatorChanged(countingIndicator());
}

void RecheckClock::intervalReleased(bool decreasing)
{
    if (!m_timer1->isActive())
        return;
    if (decreasing && m_minutesSinceCheck >= m_settings.recheckIntervalMinutes)
        timedRecheckTick();
    emit indicatorChanged(countingIndicator());
}

void RecheckClock::intervalRestored()
{
    intervalReleased(true);
}

void RecheckClock::stopAlarm()
{
    m_timer5->stop();
    emit alarmShown(false);
}

void RecheckClock::alarmTick()
{
    // A tick that comes due while the previous one still waits is dropped.
    if (m_inAlarmTick)
        return;
    m_inAlarmTick = true;
    emit alarmLamp(true);
    beep();
    waitWithEvents(m_flashMs);
    emit alarmLamp(false);
    m_inAlarmTick = false;
}

void RecheckClock::beep()
{
    if (m_beep)
        m_beep();
}
