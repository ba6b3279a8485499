#include "support/desktop_rig.h"

#include "support/common_files.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

constexpr int ReadyTimeoutMs = 15000;
constexpr int ToolTimeoutMs = 10000;

QString hexId(DesktopRig::WindowId window)
{
    return QStringLiteral("0x") + QString::number(window, 16);
}

// SIGTERM by the process id, then SIGKILL if it does not end.
void stopProcess(std::unique_ptr<QProcess>& process)
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
    process.reset();
}

std::optional<int> capturedInt(const QString& text, const QString& pattern)
{
    const QRegularExpressionMatch match =
        QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = match.captured(1).toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

DesktopRig::DesktopRig() : DesktopRig(Options{}) {}

DesktopRig::DesktopRig(Options options) : m_options(options) {}

DesktopRig::~DesktopRig()
{
    stopProcess(m_trayer);
    stopProcess(m_windowManager);
    stopProcess(m_xvfb);
}

QStringList DesktopRig::missingTools()
{
    QStringList missing;
    for (const char* tool :
         {"Xvfb", "openbox", "trayer", "wmctrl", "xdotool", "xwininfo", "xprop"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QString::fromLatin1(tool);
    }
    return missing;
}

bool DesktopRig::fail(const QString& message)
{
    m_error = message;
    return false;
}

bool DesktopRig::start()
{
    if (const QStringList missing = missingTools(); !missing.isEmpty())
        return fail(QStringLiteral("not installed: ") + missing.join(QLatin1Char(' ')));
    if (!m_folder.isValid())
        return fail(QStringLiteral("no temporary folder"));
    return startDisplay() && startWindowManager() &&
           (!m_options.notificationArea || startNotificationArea());
}

bool DesktopRig::startDisplay()
{
    m_xvfb = std::make_unique<QProcess>();
    // -displayfd: the server takes a free display and writes its number to
    // standard output once it accepts connections. -noreset: the tools that
    // come and go would otherwise reset the server whenever the last one
    // leaves, failing a window manager that connects just then.
    m_xvfb->setProcessChannelMode(QProcess::SeparateChannels);
    m_xvfb->start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!m_xvfb->waitForStarted(ReadyTimeoutMs))
        return fail(QStringLiteral("Xvfb did not start"));
    QByteArray out;
    QDeadlineTimer deadline(ReadyTimeoutMs);
    while (!out.contains('\n') && !deadline.hasExpired() && m_xvfb->state() == QProcess::Running) {
        m_xvfb->waitForReadyRead(100);
        out += m_xvfb->readAllStandardOutput();
    }
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    if (!ok)
        return fail(QStringLiteral("Xvfb gave no display: ") +
                    QString::fromLocal8Bit(m_xvfb->readAllStandardError()));
    m_display = QStringLiteral(":") + QString::number(number);
    return true;
}

bool DesktopRig::startWindowManager()
{
    const QString config = m_folder.filePath(QStringLiteral("rc.xml"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write the openbox configuration"));
    file.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n"
                              "  <focus><focusNew>%1</focusNew></focus>\n"
                              "</openbox_config>\n")
                   .arg(m_options.focusNewWindows ? QStringLiteral("yes") : QStringLiteral("no"))
                   .toUtf8());
    file.close();

    m_windowManager = std::make_unique<QProcess>();
    m_windowManager->setProcessEnvironment(environment(m_folder.path()));
    m_windowManager->setStandardOutputFile(QProcess::nullDevice());
    m_windowManager->setStandardErrorFile(m_folder.filePath(QStringLiteral("openbox.log")));
    m_windowManager->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable"),
                                                       QStringLiteral("--config-file"), config});
    if (!m_windowManager->waitForStarted(ReadyTimeoutMs))
        return fail(QStringLiteral("openbox did not start"));
    // Ready when it has announced itself on the root window.
    const bool ready = waitFor(
        [this] {
            const auto out =
                runTool(QStringLiteral("xprop"),
                        {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
            return (out && out->contains(QLatin1String("window id"))) ||
                   m_windowManager->state() != QProcess::Running;
        },
        ReadyTimeoutMs);
    if (!ready || m_windowManager->state() != QProcess::Running)
        return fail(
            QStringLiteral("openbox is not running: ") +
            QString::fromLocal8Bit(fileBytes(m_folder.filePath(QStringLiteral("openbox.log")))));
    return true;
}

bool DesktopRig::startNotificationArea()
{
    // trayer now and then ends at once with nothing said, when it starts
    // right after the window manager: a second try then works.
    for (int attempt = 1; attempt < 3; ++attempt) {
        if (tryNotificationArea())
            return true;
        stopProcess(m_trayer);
    }
    return tryNotificationArea();
}

bool DesktopRig::tryNotificationArea()
{
    m_trayer = std::make_unique<QProcess>();
    m_trayer->setProcessEnvironment(environment(m_folder.path()));
    m_trayer->setStandardOutputFile(QProcess::nullDevice());
    m_trayer->setStandardErrorFile(m_folder.filePath(QStringLiteral("trayer.log")));
    // No strut: the work area stays the whole screen.
    m_trayer->start(QStringLiteral("trayer"),
                    {QStringLiteral("--edge"), QStringLiteral("bottom"), QStringLiteral("--align"),
                     QStringLiteral("right"), QStringLiteral("--widthtype"),
                     QStringLiteral("request"), QStringLiteral("--height"), QStringLiteral("24"),
                     QStringLiteral("--SetDockType"), QStringLiteral("true"),
                     QStringLiteral("--SetPartialStrut"), QStringLiteral("false")});
    if (!m_trayer->waitForStarted(ReadyTimeoutMs))
        return fail(QStringLiteral("trayer did not start"));
    const qint64 pid = m_trayer->processId();
    if (!waitFor(
            [&] {
                return !windowsOfPid(pid, true).isEmpty() || m_trayer->state() != QProcess::Running;
            },
            ReadyTimeoutMs) ||
        m_trayer->state() != QProcess::Running)
        return fail(
            QStringLiteral("trayer shows no window: ") +
            QString::fromLocal8Bit(fileBytes(m_folder.filePath(QStringLiteral("trayer.log")))));
    return true;
}

QProcessEnvironment DesktopRig::environment(const QString& home) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    // The tray goes through the X11 notification area, not a session bus.
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    return env;
}

std::unique_ptr<QProcess> DesktopRig::launch(const QString& program, const QStringList& arguments,
                                             const QString& home,
                                             const QProcessEnvironment& extra) const
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = environment(home);
    env.insert(extra);
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(program, arguments);
    if (!process->waitForStarted(ReadyTimeoutMs))
        return nullptr;
    return process;
}

std::optional<QString> DesktopRig::runTool(const QString& program,
                                           const QStringList& arguments) const
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    tool.setProcessEnvironment(env);
    tool.start(program, arguments);
    if (!tool.waitForFinished(ToolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished(1000);
        return std::nullopt;
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

QList<DesktopRig::WindowId> DesktopRig::windowsOfPid(qint64 pid, bool visibleOnly) const
{
    QStringList arguments{QStringLiteral("search")};
    if (visibleOnly)
        arguments << QStringLiteral("--onlyvisible");
    arguments << QStringLiteral("--pid") << QString::number(pid);
    QList<WindowId> windows;
    // xdotool exits 1 when nothing matches.
    const auto out = runTool(QStringLiteral("xdotool"), arguments);
    if (!out)
        return windows;
    for (const QString& line : out->split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        windows << line.trimmed().toULongLong();
    return windows;
}

std::optional<DesktopRig::WindowId> DesktopRig::managedWindow(qint64 pid,
                                                              const QString& title) const
{
    // wmctrl -lp: id, desktop, pid, machine, title.
    const auto out = runTool(QStringLiteral("wmctrl"), {QStringLiteral("-lp")});
    if (!out)
        return std::nullopt;
    static const QRegularExpression row(
        QStringLiteral(R"(^0x([0-9a-f]+)\s+-?\d+\s+(\d+)\s+\S+\s(.*)$)"));
    for (const QString& line : out->split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = row.match(line);
        if (match.hasMatch() && match.captured(2).toLongLong() == pid && match.captured(3) == title)
            return match.captured(1).toULongLong(nullptr, 16);
    }
    return std::nullopt;
}

std::optional<DesktopRig::WindowId> DesktopRig::waitForWindow(qint64 pid, const QString& title,
                                                              int timeoutMs) const
{
    std::optional<WindowId> found;
    waitFor([&] { return (found = managedWindow(pid, title)).has_value(); }, timeoutMs);
    return found;
}

std::optional<QRect> DesktopRig::innerGeometry(WindowId window) const
{
    const auto out = runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), hexId(window)});
    if (!out)
        return std::nullopt;
    const auto x = capturedInt(*out, QStringLiteral(R"(Absolute upper-left X:\s+(-?\d+))"));
    const auto y = capturedInt(*out, QStringLiteral(R"(Absolute upper-left Y:\s+(-?\d+))"));
    const auto width = capturedInt(*out, QStringLiteral(R"(^\s*Width:\s+(\d+))"));
    const auto height = capturedInt(*out, QStringLiteral(R"(^\s*Height:\s+(\d+))"));
    if (!x || !y || !width || !height)
        return std::nullopt;
    return QRect(*x, *y, *width, *height);
}

std::optional<DesktopRig::FrameExtents> DesktopRig::frameExtents(WindowId window) const
{
    const auto out = runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), hexId(window),
                                                       QStringLiteral("_NET_FRAME_EXTENTS")});
    if (!out)
        return std::nullopt;
    static const QRegularExpression values(
        QStringLiteral(R"(=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+))"));
    const QRegularExpressionMatch match = values.match(*out);
    if (!match.hasMatch())
        return std::nullopt;
    return FrameExtents{match.captured(1).toInt(), match.captured(2).toInt(),
                        match.captured(3).toInt(), match.captured(4).toInt()};
}

std::optional<QRect> DesktopRig::outerGeometry(WindowId window) const
{
    const auto inner = innerGeometry(window);
    const auto frame = frameExtents(window);
    if (!inner || !frame)
        return std::nullopt;
    return inner->adjusted(-frame->left, -frame->top, frame->right, frame->bottom);
}

DesktopRig::WindowId DesktopRig::activeWindow() const
{
    const auto out = runTool(QStringLiteral("xprop"),
                             {QStringLiteral("-root"), QStringLiteral("_NET_ACTIVE_WINDOW")});
    if (!out)
        return 0;
    static const QRegularExpression id(QStringLiteral(R"(window id # 0x([0-9a-f]+))"));
    const QRegularExpressionMatch match = id.match(*out);
    return match.hasMatch() ? match.captured(1).toULongLong(nullptr, 16) : 0;
}

bool DesktopRig::hasFocus(WindowId window) const
{
    if (activeWindow() != window)
        return false;
    const auto out = runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")});
    return out && out->trimmed().toULongLong() == window;
}

bool DesktopRig::isShown(WindowId window) const
{
    const auto out = runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), hexId(window)});
    return out && out->contains(QLatin1String("Map State: IsViewable"));
}

bool DesktopRig::minimize(WindowId window) const
{
    return runTool(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), hexId(window)})
        .has_value();
}

bool DesktopRig::closeWindow(WindowId window) const
{
    return runTool(QStringLiteral("wmctrl"),
                   {QStringLiteral("-i"), QStringLiteral("-c"), hexId(window)})
        .has_value();
}

bool DesktopRig::moveResize(WindowId window, const QRect& inner) const
{
    const QString geometry = QStringLiteral("0,%1,%2,%3,%4")
                                 .arg(inner.x())
                                 .arg(inner.y())
                                 .arg(inner.width())
                                 .arg(inner.height());
    return runTool(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-r"),
                                              hexId(window), QStringLiteral("-e"), geometry})
        .has_value();
}

bool DesktopRig::hasTrayIcon(qint64 pid) const
{
    if (!m_trayer)
        return false;
    const QList<WindowId> ours = windowsOfPid(pid, false);
    for (WindowId area : windowsOfPid(m_trayer->processId(), false)) {
        // Every window inside the notification area, at any depth.
        const auto tree = runTool(QStringLiteral("xwininfo"),
                                  {QStringLiteral("-id"), hexId(area), QStringLiteral("-tree")});
        if (!tree)
            continue;
        static const QRegularExpression child(QStringLiteral(R"(^\s+0x([0-9a-f]+)\s)"),
                                              QRegularExpression::MultilineOption);
        for (auto it = child.globalMatch(*tree); it.hasNext();) {
            if (ours.contains(it.next().captured(1).toULongLong(nullptr, 16)))
                return true;
        }
    }
    return false;
}

bool DesktopRig::waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}
