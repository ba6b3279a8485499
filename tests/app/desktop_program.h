#pragma once

// The built window program started on the desktop rig, and its stored
// window placement: shared by the tests that run it under the window
// manager.
#include "app/check_cli.h"
#include "platform/program_title.h"
#include "storage/settings_file.h"
#include "support/desktop_rig.h"

#include <QDir>
#include <QTest>

namespace desktop_program {

constexpr int WindowTimeoutMs = 20000;
constexpr int ExitTimeoutMs = 15000;

inline QString programPath()
{
    return QStringLiteral(QUORVAMEL_BIN_DIR) + QStringLiteral("/quorvamel");
}

inline QString settingsPathOf(const QString& home)
{
    return dataFolderOf(home) + QStringLiteral("/quorvamel.ini");
}

// A settings file whose window has been placed before, at the rectangle
// given in twips.
inline SettingsRecord placedRecord(float left, float top, float width, float height)
{
    SettingsRecord record = SettingsRecord::templateRecord();
    record.firstRunMarker = 1;
    record.windowLeft = left;
    record.windowTop = top;
    record.windowWidth = width;
    record.windowHeight = height;
    return record;
}

inline bool writeHomeSettings(const QString& home, const SettingsRecord& record)
{
    return QDir().mkpath(dataFolderOf(home)) && writeSettingsFile(settingsPathOf(home), record);
}

inline QRectF storedPlacement(const QString& home)
{
    SettingsRecord record;
    if (!readSettingsFile(settingsPathOf(home), record))
        return {};
    return {record.windowLeft, record.windowTop, record.windowWidth, record.windowHeight};
}

// The frame's rectangle in twips, as the program stores its placement.
inline QRectF inTwips(const QRect& frame)
{
    return {frame.x() * 15.0, frame.y() * 15.0, frame.width() * 15.0, frame.height() * 15.0};
}

inline QString describe(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// One start of the program on the desktop, up to its framed window.
struct Started
{
    std::unique_ptr<QProcess> process;
    DesktopRig::WindowId window = 0;
};

inline Started startProgram(const DesktopRig& desktop, const QString& home,
                            const QProcessEnvironment& extra = {})
{
    Started started;
    started.process = desktop.launch(programPath(), {}, home, extra);
    if (!started.process)
        return started;
    if (const auto window =
            desktop.waitForWindow(started.process->processId(), windowCaption(), WindowTimeoutMs))
        started.window = *window;
    return started;
}

// The frame's rectangle once the window manager has framed the window and
// the window has stopped changing its size (the same over half a second).
inline std::optional<QRect> settledFrame(const DesktopRig& desktop, DesktopRig::WindowId window)
{
    std::optional<QRect> last;
    int sameFor = 0;
    const bool settled = DesktopRig::waitFor(
        [&] {
            const auto now = desktop.outerGeometry(window);
            sameFor = (now && now == last) ? sameFor + 1 : 0;
            last = now;
            if (sameFor < 5)
                QTest::qWait(100);
            return sameFor >= 5;
        },
        WindowTimeoutMs);
    return settled ? last : std::nullopt;
}

// The user gives the window a new inner size through the window manager;
// the frame around it once it has settled. Asked again while the program
// may still be placing the window itself.
inline std::optional<QRect> resizeTo(const DesktopRig& desktop, DesktopRig::WindowId window,
                                     const QSize& inner)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (!desktop.moveResize(window, QRect(QPoint(-1, -1), inner)))
            return std::nullopt;
        const auto resized = [&] {
            const auto now = desktop.innerGeometry(window);
            return now && now->size() == inner;
        };
        if (!DesktopRig::waitFor(resized, WindowTimeoutMs / 4))
            continue;
        const auto frame = settledFrame(desktop, window);
        if (frame && resized())
            return frame;
    }
    return std::nullopt;
}

inline void waitForCleanExit(QProcess& process)
{
    QVERIFY2(process.waitForFinished(ExitTimeoutMs), "the program did not end");
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

inline void closeAndWait(const DesktopRig& desktop, Started& started)
{
    QVERIFY(desktop.closeWindow(started.window));
    waitForCleanExit(*started.process);
}

} // namespace desktop_program
