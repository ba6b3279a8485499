#include "ui/recheck_controls.h"

#include "platform/wait_with_events.h"
#include "storage/run_settings.h"
#include "ui/form10.h"
#include "ui/system_colours.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

namespace {

template <class T> T* control(Form10& window, const char* name)
{
    return window.findChild<T*>(QString::fromLatin1(name));
}

constexpr std::int32_t MinInterval = 1;
constexpr std::int32_t MaxInterval = 9999;
constexpr std::int32_t MinTimeout = 5;
constexpr std::int32_t MaxTimeout = 600;

} // namespace

RecheckControls::RecheckControls(Form10& window, RecheckClock& clock, RunSettings& settings,
                                 QObject* parent)
    : QObject(parent), m_window(window), m_clock(clock), m_settings(settings),
      m_text10(control<QLineEdit>(window, "Text10")), m_text6(control<QLineEdit>(window, "Text6")),
      m_text9(control<QLineEdit>(window, "Text9")), m_timer3(control<QTimer>(window, "Timer3")),
      m_label17(control<QLabel>(window, "Label17")),
      m_picture7(control<QWidget>(window, "Picture7")),
      m_command8(control<QPushButton>(window, "Command8")),
      m_spins{control<QPushButton>(window, "Command10"), control<QPushButton>(window, "Command11"),
              control<QPushButton>(window, "Command6"), control<QPushButton>(window, "Command9")},
      m_check5(control<QCheckBox>(window, "Check5")),
      m_check10(control<QCheckBox>(window, "Check10"))
{
    m_text10->installEventFilter(this);
    m_label17->installEventFilter(this);
    for (QPushButton* spin : m_spins)
        spin->installEventFilter(this);

    connect(m_timer3, &QTimer::timeout, this, [this] {
        m_text10->setEnabled(true);
        m_timer3->stop();
    });
    connect(&m_clock, &RecheckClock::indicatorChanged, this, &RecheckControls::showIndicator);
    connect(&m_clock, &RecheckClock::alarmShown, m_picture7, &QWidget::setVisible);
    connect(&m_clock, &RecheckClock::alarmLamp, this, &RecheckControls::setAlarmLamp);
    connectOptions();
}

void RecheckControls::setSpinDelays(int firstMs, int repeatMs)
{
    m_firstDelayMs = firstMs;
    m_repeatDelayMs = repeatMs;
}

void RecheckControls::showIndicator(const RecheckIndicator& indicator)
{
    m_text10->setText(indicator.text);
    if (indicator.background) {
        QPalette palette = m_text10->palette();
        palette.setColor(QPalette::Base, SystemColour::toColour(*indicator.background));
        m_text10->setPalette(palette);
    }
    if (indicator.toolTip)
        m_text10->setToolTip(*indicator.toolTip);
}

void RecheckControls::connectOptions()
{
    // A box set in code (a "Defaults" button clearing it) acts as a click;
    // the values put in at load only tick boxes whose setting is already 1.
    connect(m_check5, &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.PlaySound = checked; });
    connect(control<QCheckBox>(m_window, "Check8"), &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.AutoStartTimer = checked; });
    connect(control<QCheckBox>(m_window, "Check11"), &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.IdleIfOffline = checked; });
    // Ticking the alarm brings the sound with it, but only when the user
    // ticks it: a stored alarm without sound loads as it was saved.
    connect(m_check10, &QCheckBox::clicked, this, [this](bool checked) {
        if (!checked)
            return;
        m_settings.ContinuousAlarm = true;
        if (!m_check5->isChecked())
            m_check5->setChecked(true);
    });
    connect(m_check10, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked)
            return;
        m_settings.ContinuousAlarm = false;
        m_clock.stopAlarm();
    });
}

void RecheckControls::setAlarmLamp(bool lit)
{
    QPalette palette = m_label17->palette();
    const auto background = lit ? SystemColour::ToolTipBackground : SystemColour::ButtonFace;
    const auto text = lit ? SystemColour::ToolTipText : SystemColour::ButtonText;
    palette.setColor(QPalette::Window, SystemColour::toColour(background));
    palette.setColor(QPalette::WindowText, SystemColour::toColour(text));
    m_label17->setPalette(palette);
    m_label17->setAutoFillBackground(true);
}

bool RecheckControls::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return QObject::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);

    if (watched == m_text10) {
        if (type == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
            m_clock.toggle();
            m_command8->setFocus();
            return true;
        }
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
            // Shut for a moment so the right click cannot reach the box.
            m_text10->setEnabled(false);
            m_timer3->start();
            return true;
        }
        return false;
    }
    if (watched == m_label17) {
        if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton)
            m_clock.stopAlarm();
        return false;
    }
    Spin spin;
    if (!isSpin(watched, &spin))
        return QObject::eventFilter(watched, event);
    if (type == QEvent::MouseButtonRelease) {
        if (mouse->button() == Qt::LeftButton)
            heldFlag(spin) = 0;
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
        if (watched == m_spins[i]) {
            *spin = Spin(i);
            return true;
        }
    }
    return false;
}

std::int16_t& RecheckControls::heldFlag(Spin spin)
{
    return spin == Spin::IntervalDown || spin == Spin::IntervalUp ? m_intervalSpinHeld
                                                                  : m_timeoutSpinHeld;
}

void RecheckControls::spinPressed(Spin spin, Qt::MouseButton button,
                                  Qt::KeyboardModifiers modifiers)
{
    if (button != Qt::LeftButton) {
        spinFinished(spin);
        return;
    }
    QPointer<RecheckControls> alive(this);
    QPointer<QPushButton> pressed(m_spins[int(spin)]);
    // Ctrl alone gives the long step; with Shift or Alt it is the short one.
    const int size = modifiers == Qt::ControlModifier ? 10 : 1;
    const bool down = spin == Spin::IntervalDown || spin == Spin::TimeoutDown;
    heldFlag(spin) = 1;
    pressed->setDown(true);
    int delay = m_firstDelayMs;
    do {
        spinStep(spin, down ? -size : size);
        // The release arrives during the wait and ends the loop.
        WaitWithEvents(delay);
        if (!alive)
            return;
        delay = m_repeatDelayMs;
    } while (heldFlag(spin) == 1);
    if (pressed)
        pressed->setDown(false);
    spinFinished(spin);
}

void RecheckControls::spinStep(Spin spin, int step)
{
    if (spin == Spin::IntervalDown || spin == Spin::IntervalUp) {
        m_settings.RecheckIntervalMinutes =
            std::clamp(m_settings.RecheckIntervalMinutes + step, MinInterval, MaxInterval);
        m_text6->setText(QString::number(m_settings.RecheckIntervalMinutes));
        m_window.setRecheckIntervalMinutes(m_settings.RecheckIntervalMinutes);
        m_clock.intervalStepped();
    } else {
        m_settings.ServerTimeoutSeconds =
            std::clamp(m_settings.ServerTimeoutSeconds + step, MinTimeout, MaxTimeout);
        m_text9->setText(QString::number(m_settings.ServerTimeoutSeconds));
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
        m_settings.ServerTimeoutMs = double(m_settings.ServerTimeoutSeconds) * 1000;
        break;
    }
}
