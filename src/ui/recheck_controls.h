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

    // The spin repeat pauses: first after the press, then between steps.
    void setSpinDelays(int firstMs, int repeatMs);
    // Whether a spin button of the interval / the time-out is held down.
    bool intervalSpinHeld() const { return m_repeat.intervalHeld; }
    bool timeoutSpinHeld() const { return m_repeat.timeoutHeld; }

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

    MainWindow& m_window;
    RecheckClock& m_clock;
    RunSettings& m_settings;
    SettingsPages& m_pages;
    // The controls it works on, from the window's accessors.
    struct Controls
    {
        QLineEdit* indicator;       // Text10
        QTimer* indicatorPause;     // Timer3
        QLabel* alarmLabel;         // Label17
        QWidget* alarmBox;          // Picture7
        QPushButton* menuButton;    // Command8
        QPushButton* spins[4];      // Command10, Command11, Command6, Command9
        QCheckBox* playSound;       // Check5
        QCheckBox* continuousAlarm; // Check10
    };
    // The spin buttons' repeat: which is held, and its pauses.
    struct SpinRepeat
    {
        bool intervalHeld = false;
        bool timeoutHeld = false;
        int firstDelayMs = 750;
        int repeatDelayMs = 50;
    };

    Controls m_controls;
    SpinRepeat m_repeat;
};
