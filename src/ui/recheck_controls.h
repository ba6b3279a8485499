#pragma once

#include "runs/recheck_clock.h"

#include <QObject>

class MainWindow;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class SettingsPages;
struct RunSettings;

// The window side of the timed re-check and the alarm: the indicator Text10
// (double click switches the timer, a right press shuts it for a moment),
// the interval and time-out spin buttons, the sound and timer options, and
// the flashing alarm panel whose label stops the alarm.
class RecheckControls : public QObject
{
    Q_OBJECT
public:
    RecheckControls(MainWindow& window, RecheckClock& clock, RunSettings& settings,
                    QObject* parent = nullptr);

    // Shows an indicator state on Text10.
    void showIndicator(const RecheckIndicator& indicator);
    // The spin repeat pauses: first after the press, then between steps.
    void setSpinDelays(int firstMs, int repeatMs);
    // Whether a spin button of the interval / the time-out is held down.
    bool intervalSpinHeld() const { return m_intervalSpinHeld; }
    bool timeoutSpinHeld() const { return m_timeoutSpinHeld; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Spin { IntervalDown, IntervalUp, TimeoutDown, TimeoutUp };
    bool isSpin(QObject* watched, Spin* spin) const;
    void spinPressed(Spin spin, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void spinStep(Spin spin, int step);
    void spinFinished(Spin spin);
    bool& spinHeld(Spin spin);
    void connectOptions();
    void setAlarmLamp(bool lit);

    MainWindow& m_window;
    RecheckClock& m_clock;
    RunSettings& m_settings;
    SettingsPages& m_pages;
    QLineEdit* m_indicator;       // Text10
    QTimer* m_indicatorPause;     // Timer3
    QLabel* m_alarmLabel;         // Label17
    QWidget* m_alarmBox;          // Picture7
    QPushButton* m_menuButton;    // Command8
    QPushButton* m_spins[4];      // Command10, Command11, Command6, Command9
    QCheckBox* m_playSound;       // Check5
    QCheckBox* m_continuousAlarm; // Check10
    bool m_intervalSpinHeld = false;
    bool m_timeoutSpinHeld = false;
    int m_firstDelayMs = 750;
    int m_repeatDelayMs = 50;
};
