#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class Connectivity;
class RunCoordinator;
class Prompter;
class QTimer;
struct RunSettings;

// Whether the indicator shows the timed re-check switched on or off; the
// window picks the colours.
enum class TimerLook { Off, On };

// What the re-check indicator (Text10) is to show. A field left empty
// keeps what the indicator shows now.
struct RecheckIndicator
{
    QString text;
    std::optional<TimerLook> look;
    std::optional<QString> toolTip;

    bool operator==(const RecheckIndicator&) const = default;
};

// The clocks of the timed re-check and of the alarm, without widgets: the
// one-minute tick (Timer1) that counts towards the next run, switching it on
// and off, its indicator texts, and the alarm (Timer5) that beeps every few
// seconds after new mail until stopped. The window shows what the signals
// say and forwards the user's actions.
class RecheckClock : public QObject
{
    Q_OBJECT
public:
    static inline const QString OffTip =
        QStringLiteral("Off - Timed Re-Check For Mail (dbl-click on/off)");
    static inline const QString IdleTip =
        QStringLiteral("Timed Re-Check Idle Until Connected To Internet");
    static QString onTip(std::int32_t intervalMinutes);

    // Timer1 and Timer5 may be the window's own timers; without them the
    // clock makes its own.
    RecheckClock(RunSettings& settings, RunCoordinator& runs, Connectivity& connectivity,
                 Prompter& prompter, QTimer* timer1 = nullptr, QTimer* timer5 = nullptr,
                 QObject* parent = nullptr);

    // The length of one counted minute (tests shorten it).
    void setMinuteMs(int ms);
    int minuteMs() const;
    // MessageBeep; nothing sounds until one is given.
    void setBeeper(std::function<void()> beep) { m_beep = std::move(beep); }
    // The pause between the alarm's lamp going on and off again.
    void setAlarmFlashMs(int ms) { m_flashMs = ms; }

    bool isRunning() const; // Timer1
    // The minutes counted towards the next timed check.
    int minutesSinceCheck() const { return m_minutesSinceCheck; }
    void setMinutesSinceCheck(int minutes) { m_minutesSinceCheck = minutes; }
    bool alarmActive() const; // Timer5
    QTimer& recheckTimer() { return *m_timer1; }
    QTimer& alarmTimer() { return *m_timer5; }

    // One minute has passed (Timer1); also called when a shortened interval
    // is already reached.
    void timedRecheckTick();
    // Double click on the indicator: on, off, or the message that the
    // interval must be above 0.
    void toggle();
    // A user starts a check: the counter restarts and the indicator shows the
    // whole interval.
    void userRunStarting();
    // A run has started: the timer switches itself on when so configured.
    void checkRunStarted();
    // A check run has ended (completed or halted): the count restarts.
    void runEnded();
    // The summary was written: the sound and perhaps the continuous alarm.
    void checkRunCompleted(int newMailCount);
    // The interval was changed by a spin button; finalStep after the button
    // was released (decreasing: the button that may bring the run due now).
    void intervalStepped();
    void intervalReleased(bool decreasing);
    // The interval was set back to its default by the page's Defaults.
    void intervalRestored();
    // Click on the alarm label, or clearing the continuous alarm option.
    void stopAlarm();
    // One alarm tick: lamp on, beep, pause, lamp off.
    void alarmTick();

    // The indicator as it should look now when the timer runs: minutes left
    // and the "On" tool tip (unless tool tips are off).
    RecheckIndicator countingIndicator() const;

signals:
    void indicatorChanged(const RecheckIndicator& indicator);
    // A timed run is about to start: the run's buttons and tabs go busy.
    void timedRunStarting();
    // The alarm panel is shown (true) or hidden (false).
    void alarmShown(bool shown);
    // The alarm label is lit (tool-tip colours) or back to the button colours.
    void alarmLamp(bool lit);

private:
    void beep();
    std::optional<QString> tipUnlessOff(const QString& tip) const;

    RunSettings& m_settings;
    RunCoordinator& m_runs;
    Connectivity& m_connectivity;
    Prompter& m_prompter;
    QTimer* m_timer1;
    QTimer* m_timer5;
    std::function<void()> m_beep;
    int m_flashMs = 750;
    int m_minutesSinceCheck = 0;
    bool m_inAlarmTick = false;
    // The run now ending is a check (its summary or halt came first).
    bool m_checkRunEnding = false;
};
