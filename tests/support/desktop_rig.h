#pragma once

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>

// A real X desktop for tests that run the built program: Xvfb on a free
// display, the openbox window manager and the trayer notification area,
// each its own process, stopped by its process id when the rig goes.
// The tools that look at the desktop (wmctrl, xdotool, xwininfo, xprop)
// run against the rig's display.
//
//   DesktopRig desktop;
//   QVERIFY2(desktop.start(), qPrintable(desktop.errorString()));
//   auto program = desktop.launch(binary, {}, home);
//   const auto window = desktop.waitForWindow(program->processId(), caption);
class DesktopRig
{
public:
    struct Options
    {
        // Off: openbox gives new windows no focus.
        bool focusNewWindows = true;
        bool notificationArea = true;
    };

    // The window manager's frame around a window, in pixels.
    struct FrameExtents
    {
        int left = 0;
        int right = 0;
        int top = 0;
        int bottom = 0;
    };

    using WindowId = quint64;

    DesktopRig();
    explicit DesktopRig(Options options);
    ~DesktopRig();
    DesktopRig(const DesktopRig&) = delete;
    DesktopRig& operator=(const DesktopRig&) = delete;

    // The programs the rig needs that are not installed; empty when it can run.
    static QStringList missingTools();

    // Starts the display, the window manager and the notification area and
    // waits until each is ready; false with errorString() otherwise.
    bool start();
    QString errorString() const { return m_error; }
    QString display() const { return m_display; }

    // The environment of a program shown on the rig's display: DISPLAY,
    // QT_QPA_PLATFORM=xcb, HOME as given, no session bus.
    QProcessEnvironment environment(const QString& home) const;
    // Starts a program on the rig's display, with the extra variables
    // given; null when it did not start.
    std::unique_ptr<QProcess> launch(const QString& program, const QStringList& arguments,
                                     const QString& home,
                                     const QProcessEnvironment& extra = {}) const;

    // A desktop tool's standard output; nullopt when it failed or ran over
    // its time.
    std::optional<QString> runTool(const QString& program, const QStringList& arguments) const;

    // The window the window manager manages for the process with that
    // title, once it is there; nullopt after the time-out.
    std::optional<WindowId> waitForWindow(qint64 pid, const QString& title, int timeoutMs) const;
    std::optional<WindowId> managedWindow(qint64 pid, const QString& title) const;
    // The window's own (inner) rectangle on the screen.
    std::optional<QRect> innerGeometry(WindowId window) const;
    // As the window manager announces it; nullopt while it has not.
    std::optional<FrameExtents> frameExtents(WindowId window) const;
    // The rectangle of the frame: the inner one grown by the extents.
    std::optional<QRect> outerGeometry(WindowId window) const;
    // The window the window manager says holds the focus (0: none).
    WindowId activeWindow() const;
    // True when the window is the active one and holds the keyboard focus
    // of the X server too (the window manager's word alone can be stale).
    bool hasFocus(WindowId window) const;
    // True when the window is mapped and not minimized.
    bool isShown(WindowId window) const;
    // Asks the window manager to minimize the window, as its button does.
    bool minimize(WindowId window) const;
    // Asks the window manager to close the window, as its close box does.
    bool closeWindow(WindowId window) const;
    // Asks the window manager for a new inner rectangle of the window.
    bool moveResize(WindowId window, const QRect& inner) const;
    // True when a window of the process sits in the notification area.
    bool hasTrayIcon(qint64 pid) const;

    // Runs the event loop until the condition holds or the time is over.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs);

private:
    bool startDisplay();
    bool startWindowManager();
    bool startNotificationArea();
    bool tryNotificationArea();
    bool fail(const QString& message);
    QList<WindowId> windowsOfPid(qint64 pid, bool visibleOnly) const;

    Options m_options;
    QTemporaryDir m_folder;
    QString m_display;
    QString m_error;
    // Started in this order, stopped in the reverse.
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_windowManager;
    std::unique_ptr<QProcess> m_trayer;
};
