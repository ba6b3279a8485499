#include "ui/recheck_controls.h"

#include "platform/wait_with_events.h"
#include "storage/run_settings.h"
#include "ui/bottom_bar.h"
#include "ui/mainwindow.h"
#include "ui/settings_pages.h"
#include "ui/system_colours.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdint>

namespace {

constexpr std::int32_t MinInterval = 1;
constexpr std::int32_t MaxInterval = 9999;
constexpr std::int32_t MinTimeout = 5;
constexpr std::int32_t MaxTimeout = 600;

// Shows an indicator state on Text10.
void showIndicator(QLineEdit& box, const RecheckIndicator& indicator)
{
    box.setText(indicator.text);
    if (indicator.look) {
        const auto background = *indicator.look == TimerLook::On ? SystemColour::WindowBackground
                                                                 : SystemColour::ButtonFace;
        QPalette palette = box.palette();
        palette.setColor(QPalette::Base, SystemColour::toColour(background));
        box.setPalette(palette);
    }
    if (indicator.toolTip)
        box.setToolTip(*indicator.toolTip);
}

// The alarm label lit in tool-tip colours while the alarm sounds.
void paintAlarmLamp(QLabel& label, bool lit)
{
    QPalette palette = label.palette();
    const auto background = lit ? SystemColour::ToolTipBackground : SystemColour::ButtonFace;
    const auto text = lit ? SystemColour::ToolTipText : SystemColour::ButtonText;
    palette.setColor(QPalette::Window, SystemColour::toColour(background));
    palette.setColor(QPalette::WindowText, SystemColour::toColour(text));
    label.setPalette(palette);
    label.setAutoFillBackground(true);
}

} // namespace

RecheckControls::RecheckControls(MainWindow& window, RecheckClock& clock, RunSettings& settings,
                                 QObject* parent)
    : QObject(parent), m_window(window), m_clock(clock), m_settings(settings),
      m_pages(window.settingsPages()), m_controls{window.bottomBar().recheckIndicator(),
                                                  window.timers().indicatorPause,
                                                  window.alarmLabel(),
                                                  window.alarmBox(),
                                                  window.bottomBar().menuButton(),
                                                  {m_pages.intervalDownButton(),
                                                   m_pages.intervalUpButton(),
                                                   m_pages.timeoutDownButton(),
                                                   m_pages.timeoutUpButton()},
                                                  m_pages.optionBox(OptionBox::PlaySound),
                                                  m_pages.optionBox(OptionBox::ContinuousAlarm)}
{
    m_controls.indicator->installEventFilter(this);
    m_controls.alarmLabel->installEventFilter(this);
    for (QPushButton* spin : m_controls.spins)
        spin->installEventFilter(this);

    connect(m_controls.indicatorPause, &QTimer::timeout, this, [this] {
        m_controls.indicator->setEnabled(true);
        m_controls.indicatorPause->stop();
    });
    connect(&m_clock, &RecheckClock::indicatorChanged, this,
            [this](const RecheckIndicator& indicator) {
                showIndicator(*m_controls.indicator, indicator);
            });
    connect(&m_clock, &RecheckClock::alarmShown, m_controls.alarmBox, &QWidget::setVisible);
    connect(&m_clock, &RecheckClock::alarmLamp, this,
            [this](bool lit) { paintAlarmLamp(*m_controls.alarmLabel, lit); });
    connectOptions();
}

void RecheckControls::setSpinDelays(int firstMs, int repeatMs)
{
    m_repeat.firstDelayMs = firstMs;
    m_repeat.repeatDelayMs = repeatMs;
}

void RecheckControls::connectOptions()
{
    // A box set in code (a "Defaults" button clearing it) acts as a click;
    // the values put in at load only tick boxes whose setting is already 1.
    connect(m_controls.playSound, &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.playSound = checked; });
    connect(m_pages.optionBox(OptionBox::AutoStartTimer), &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.autoStartTimer = checked; });
    connect(m_pages.optionBox(OptionBox::IdleIfOffline), &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.idleIfOffline = checked; });
    // Ticking the alarm brings the sound with it, but only when the user
    // ticks it: a stored alarm without sound loads as it was saved.
    connect(m_controls.continuousAlarm, &QCheckBox::clicked, this, [this](bool checked) {
        if (!checked)
            return;
        m_settings.continuousAlarm = true;
        if (!m_controls.playSound->isChecked())
            m_controls.playSound->setChecked(true);
    });
    connect(m_controls.continuousAlarm, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked)
            return;
        m_settings.continuousAlarm = false;
        m_clock.stopAlarm();
    });
}

bool RecheckControls::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return QObject::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);

    if (watched == m_controls.indicator) {
        if (type == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
            m_clock.toggle();
            m_controls.menuButton->setFocus();
            return true;
        }
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
            // Shut for a moment so the right click cannot reach the box.
            m_controls.indicator->setEnabled(false);
            m_controls.indicatorPause->start();
            return true;
        }
        return false;
    }
    if (watched == m_controls.alarmLabel) {
        if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton)
            m_clock.stopAlarm();
        return false;
    }
    Spin spin;
    if (!isSpin(watched, &spin))
        return QObject::eventFilter(watched, event);
    if (type == QEvent::MouseButtonRelease) {
        if (mouse->button() == Qt::LeftButton)
            spinHeld(spin) = false;
        return true;
    }
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        spinPressed(spin, mouse->button(), mouse->modifiers());
        return true;
    }
    return false;
}

bool RecheckControls::isSpin(QObject* watched, Spin* spin) const
{
    for (int i = 0; i < 4; ++i) {
        if (watched == m_controls.spins[i]) {
            *spin = Spin(i);
            return true;
        }
    }
    return false;
}

bool& RecheckControls::spinHeld(Spin spin)
{
    return spin == Spin::IntervalDown || spin == Spin::IntervalUp ? m_repeat.intervalHeld
                                                                  : m_repeat.timeoutHeld;
}

void RecheckControls::spinPressed(Spin spin, Qt::MouseButton button,
                                  Qt::KeyboardModifiers modifiers)
{
    if (button != Qt::LeftButton) {
        spinFinished(spin);
        return;
    }
    QPointer<RecheckControls> alive(this);
    QPointer<QPushButton> pressed(m_controls.spins[int(spin)]);
    // Ctrl alone gives the long step; with Shift or Alt it is the short one.
    const int size = modifiers == Qt::ControlModifier ? 10 : 1;
    const bool down = spin == Spin::IntervalDown || spin == Spin::TimeoutDown;
    spinHeld(spin) = true;
    pressed->setDown(true);
    int delay = m_repeat.firstDelayMs;
    do {
        spinStep(spin, down ? -size : size);
        // The release arrives during the wait and ends the loop.
        waitWithEvents(delay);
        if (!alive)
            return;
        delay = m_repeat.repeatDelayMs;
    } while (spinHeld(spin));
    if (pressed)
        pressed->setDown(false);
    spinFinished(spin);
}

void RecheckControls::spinStep(Spin spin, int step)
{
    if (spin == Spin::IntervalDown || spin == Spin::IntervalUp) {
        m_settings.recheckIntervalMinutes =
            std::clamp(m_settings.recheckIntervalMinutes + step, MinInterval, MaxInterval);
        m_pages.intervalBox()->setText(QString::number(m_settings.recheckIntervalMinutes));
        m_window.setRecheckIntervalMinutes(m_settings.recheckIntervalMinutes);
        m_clock.intervalStepped();
    } else {
        m_settings.serverTimeoutSeconds =
            std::clamp(m_settings.serverTimeoutSeconds + step, MinTimeout, MaxTimeout);
        m_pages.timeoutBox()->setText(QString::number(m_settings.serverTimeoutSeconds));
    }
}

void RecheckControls::spinFinished(Spin spin)
{
    switch (spin) {
    case Spin::IntervalDown:
    case Spin::IntervalUp:
        m_clock.intervalReleased(spin == Spin::IntervalDown);
        break;
    case Spin::TimeoutDown:
    case Spin::TimeoutUp:
        m_settings.serverTimeout = std::chrono::seconds(m_settings.serverTimeoutSeconds);
        break;
    }
}
