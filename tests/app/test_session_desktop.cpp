// The window program's end of session and its single copy under a real
// window manager (Xvfb, openbox, trayer): a second start brings the running
// window forward, and a SIGTERM or a logout keeps the window's placement
// the user gave it through the window manager.
#include "desktop_program.h"
#include "support/common_window_process.h"
#include "support/storage_accounts.h"

#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <csignal>

using namespace desktop_program;

namespace {

QString sessionManagerPath()
{
    return QStringLiteral(QUORVAMEL_BIN_DIR "/quorvamel-test-xsmp");
}

bool writeAccountAt(const QString& home, quint16 port)
{
    return writeAccounts(dataFolderOf(home) + QLatin1Char('/') + UsersFileName,
                         {{"Box ann", "ann", "pw", "127.0.0.1", qint32(port)}});
}

// How the session of the test ends.
enum class SessionEnd { Terminated, TerminatedDuringCheck, LoggedOut };

} // namespace

Q_DECLARE_METATYPE(SessionEnd)

class TestSessionDesktop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void secondStartBringsTheWindowForward_data();
    void secondStartBringsTheWindowForward();
    void endOfSessionKeepsThePlacement_data();
    void endOfSessionKeepsThePlacement();
};

void TestSessionDesktop::init()
{
    if (const QStringList missing = DesktopRig::missingTools(); !missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("not installed: ") + missing.join(QLatin1Char(' '))));
}

void TestSessionDesktop::secondStartBringsTheWindowForward_data()
{
    QTest::addColumn<bool>("toTray"); // else minimized

    QTest::newRow("minimized") << false;
    QTest::newRow("closed to the tray") << true;
}

void TestSessionDesktop::secondStartBringsTheWindowForward()
{
    QFETCH(bool, toTray);

    DesktopRig desktop;
    QVERIFY2(desktop.start(), qPrintable(desktop.errorString()));
    QTemporaryDir home;
    SettingsRecord record = placedRecord(1500, 1200, 9000, 6000);
    record.trayOnClose = toTray ? 1 : 0;
    QVERIFY(writeHomeSettings(home.path(), record));

    Started first = startProgram(desktop, home.path());
    QVERIFY(first.process);
    QVERIFY(first.window);
    QVERIFY(settledFrame(desktop, first.window));
    const qint64 pid = first.process->processId();
    if (toTray) {
        QVERIFY(DesktopRig::waitFor([&] { return desktop.hasTrayIcon(pid); }, WindowTimeoutMs));
        QVERIFY(desktop.closeWindow(first.window));
    } else {
        QVERIFY(desktop.minimize(first.window));
    }
    QVERIFY(DesktopRig::waitFor(
        [&] { return !desktop.isShown(first.window) && !desktop.hasFocus(first.window); },
        WindowTimeoutMs));

    // The second start ends at once, and the first copy's window comes
    // forward with the focus.
    const std::unique_ptr<QProcess> second = desktop.launch(programPath(), {}, home.path());
    QVERIFY(second);
    waitForCleanExit(*second);
    QVERIFY2(DesktopRig::waitFor([&] { return desktop.isShown(first.window); }, WindowTimeoutMs),
             "the running window was not shown");
    QVERIFY2(DesktopRig::waitFor([&] { return desktop.hasFocus(first.window); }, WindowTimeoutMs),
             "the running window did not get the focus");
    QCOMPARE(first.process->state(), QProcess::Running);
    qInfo("lock: %s", qPrintable(QDir(dataFolderOf(home.path()))
                                     .entryList({QStringLiteral("*.lock")}, QDir::Files)
                                     .join(QLatin1Char(' '))));

    first.process->kill();
    first.process->waitForFinished(ExitTimeoutMs);
}

void TestSessionDesktop::endOfSessionKeepsThePlacement_data()
{
    QTest::addColumn<SessionEnd>("end");

    QTest::newRow("SIGTERM") << SessionEnd::Terminated;
    QTest::newRow("SIGTERM during a check") << SessionEnd::TerminatedDuringCheck;
    QTest::newRow("logout") << SessionEnd::LoggedOut;
}

void TestSessionDesktop::endOfSessionKeepsThePlacement()
{
    QFETCH(SessionEnd, end);
    const bool logout = end == SessionEnd::LoggedOut;
    if (logout && !QFileInfo::exists(sessionManagerPath()))
        QSKIP("the test session manager was not built (no libSM)");

    DesktopRig desktop;
    QVERIFY2(desktop.start(), qPrintable(desktop.errorString()));
    QTemporaryDir home;
    // A check on open waits on this server, which never answers.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    SettingsRecord record = placedRecord(1500, 1200, 9000, 6000);
    record.autoCheckOnOpen = end == SessionEnd::TerminatedDuringCheck ? 1 : 0;
    QVERIFY(writeHomeSettings(home.path(), record));
    QVERIFY(writeAccountAt(home.path(), silent.serverPort()));

    QProcess manager;
    QProcessEnvironment session;
    if (logout) {
        manager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        manager.start(sessionManagerPath(), {});
        const QByteArray networkIds = firstOutputLine(manager);
        QVERIFY2(!networkIds.isEmpty(), "the session manager did not start");
        session.insert(QStringLiteral("SESSION_MANAGER"), QString::fromLatin1(networkIds));
        session.insert(QStringLiteral("ICEAUTHORITY"), home.filePath(QStringLiteral(".ICE")));
    }
    Started started = startProgram(desktop, home.path(), session);
    QVERIFY(started.process);
    QVERIFY(started.window);
    const qint64 pid = started.process->processId();
    QVERIFY(
        DesktopRig::waitFor([&] { return programCatchesSignal(pid, SIGTERM); }, WindowTimeoutMs));
    if (logout) {
        QVERIFY(waitForOutputLine(manager, "registered"));
        QVERIFY(waitForOutputLine(manager, "done 1"));
    }

    // The user resizes the window once it is placed; the session then ends.
    QVERIFY(settledFrame(desktop, started.window));
    const auto frame = resizeTo(desktop, started.window, QSize(700, 480));
    QVERIFY(frame);
    if (end == SessionEnd::TerminatedDuringCheck)
        QVERIFY2(
            DesktopRig::waitFor([&] { return silent.hasPendingConnections(); }, WindowTimeoutMs),
            "no check under way");
    // The end of the session writes the file anew.
    const ino_t before = fileInode(settingsPathOf(home.path()));
    if (logout) {
        manager.write("shutdown\n");
        manager.waitForBytesWritten();
        QVERIFY(waitForOutputLine(manager, "done 1"));
        // Saved at the manager's request, before the session ends.
        QVERIFY(fileInode(settingsPathOf(home.path())) != before);
        QCOMPARE(storedPlacement(home.path()), inTwips(*frame));
        manager.write("die\n");
        manager.waitForBytesWritten();
    } else {
        QCOMPARE(::kill(pid_t(pid), SIGTERM), 0);
    }
    waitForCleanExit(*started.process);
    QVERIFY(fileInode(settingsPathOf(home.path())) != before);
    qInfo("frame %s, stored %g,%g %gx%g twips", qPrintable(describe(*frame)),
          storedPlacement(home.path()).x(), storedPlacement(home.path()).y(),
          storedPlacement(home.path()).width(), storedPlacement(home.path()).height());
    QCOMPARE(storedPlacement(home.path()), inTwips(*frame));

    if (logout) {
        manager.closeWriteChannel();
        manager.waitForFinished(5000);
    }
}

QTEST_MAIN(TestSessionDesktop)
#include "test_session_desktop.moc"
