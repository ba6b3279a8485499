// The built window program on a real X desktop (Xvfb, openbox, trayer):
// the stored window size across starts, the close through the window
// manager, and the steps of the first show, with and without the focus.
#include "desktop_program.h"
#include "support/storage_accounts.h"

#include <QTcpServer>
#include <QTemporaryDir>

using namespace desktop_program;

class TestWindowDesktop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void storedSizeSurvivesStarts_data();
    void storedSizeSurvivesStarts();
    void closeThroughWindowManagerSavesTheFrame();
    void firstShowStepsRun_data();
    void firstShowStepsRun();
};

void TestWindowDesktop::init()
{
    if (const QStringList missing = DesktopRig::missingTools(); !missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("not installed: ") + missing.join(QLatin1Char(' '))));
}

void TestWindowDesktop::storedSizeSurvivesStarts_data()
{
    QTest::addColumn<bool>("firstStart"); // else a placement stored before

    QTest::newRow("first start") << true;
    QTest::newRow("stored placement") << false;
}

void TestWindowDesktop::storedSizeSurvivesStarts()
{
    QFETCH(bool, firstStart);

    DesktopRig desktop;
    QVERIFY2(desktop.start(), qPrintable(desktop.errorString()));
    QTemporaryDir home;
    if (!firstStart)
        QVERIFY(writeHomeSettings(home.path(), placedRecord(1500, 1200, 9000, 6000)));

    QList<QRectF> stored;
    if (!firstStart)
        stored << storedPlacement(home.path());
    for (int start = 1; start <= 3; ++start) {
        Started started = startProgram(desktop, home.path());
        QVERIFY(started.process);
        QVERIFY2(started.window, qPrintable(started.process->readAll()));
        const auto frame = settledFrame(desktop, started.window);
        QVERIFY(frame);
        const auto extents = desktop.frameExtents(started.window);
        QVERIFY(extents);
        // A real frame, or the test would not see the fault it is for.
        QVERIFY(extents->top > 0);
        closeAndWait(desktop, started);
        if (QTest::currentTestFailed())
            return;

        const QRectF placement = storedPlacement(home.path());
        qInfo("start %d: frame %s, extents l%d r%d t%d b%d, stored %gx%g twips at %g,%g", start,
              qPrintable(describe(*frame)), extents->left, extents->right, extents->top,
              extents->bottom, placement.width(), placement.height(), placement.left(),
              placement.top());
        // What is stored is the frame's size, as it was on the screen.
        QCOMPARE(placement.width(), frame->width() * 15.0);
        QCOMPARE(placement.height(), frame->height() * 15.0);
        stored << placement;
    }
    for (const QRectF& placement : stored) {
        QCOMPARE(placement.size(), stored.first().size());
        QCOMPARE(placement.topLeft(), stored.first().topLeft());
    }
}

void TestWindowDesktop::closeThroughWindowManagerSavesTheFrame()
{
    DesktopRig desktop;
    QVERIFY2(desktop.start(), qPrintable(desktop.errorString()));
    QTemporaryDir home;
    QVERIFY(writeHomeSettings(home.path(), placedRecord(1500, 1200, 9000, 6000)));

    Started started = startProgram(desktop, home.path());
    QVERIFY(started.process);
    QVERIFY(started.window);
    QVERIFY(settledFrame(desktop, started.window));
    // The user makes the window larger through the window manager.
    const auto frame = resizeTo(desktop, started.window, QSize(700, 480));
    QVERIFY(frame);
    closeAndWait(desktop, started);

    QCOMPARE(storedPlacement(home.path()), inTwips(*frame));
}

void TestWindowDesktop::firstShowStepsRun_data()
{
    QTest::addColumn<bool>("focusNew");
    QTest::addColumn<bool>("trayOn");

    QTest::newRow("no focus, tray on") << false << true;
    QTest::newRow("no focus, tray off") << false << false;
    QTest::newRow("focus, tray on") << true << true;
}

void TestWindowDesktop::firstShowStepsRun()
{
    QFETCH(bool, focusNew);
    QFETCH(bool, trayOn);

    DesktopRig::Options options;
    options.focusNewWindows = focusNew;
    DesktopRig desktop(options);
    QVERIFY2(desktop.start(), qPrintable(desktop.errorString()));

    // The automatic check on open shows itself by connecting here.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTemporaryDir home;
    SettingsRecord record = placedRecord(1500, 1200, 9000, 6000);
    record.autoCheckOnOpen = 1;
    record.trayOnClose = trayOn ? 1 : 0;
    QVERIFY(writeHomeSettings(home.path(), record));
    QVERIFY(writeAccounts(dataFolderOf(home.path()) + QLatin1Char('/') + UsersFileName,
                          {{"Box ann", "ann", "pw", "127.0.0.1", qint32(server.serverPort())}}));

    Started started = startProgram(desktop, home.path());
    QVERIFY(started.process);
    QVERIFY(started.window);
    QVERIFY2(server.waitForNewConnection(WindowTimeoutMs), "no automatic check on open");
    const qint64 pid = started.process->processId();
    if (trayOn) {
        QVERIFY2(DesktopRig::waitFor([&] { return desktop.hasTrayIcon(pid); }, WindowTimeoutMs),
                 "no tray icon");
    } else {
        QTest::qWait(500);
        QVERIFY(!desktop.hasTrayIcon(pid));
    }
    if (focusNew) {
        QVERIFY(
            DesktopRig::waitFor([&] { return desktop.hasFocus(started.window); }, WindowTimeoutMs));
    } else {
        // The window manager never gave the window the focus.
        QVERIFY(desktop.activeWindow() != started.window);
    }

    started.process->kill();
    started.process->waitForFinished(ExitTimeoutMs);
}

QTEST_MAIN(TestWindowDesktop)
#include "test_window_desktop.moc"
