// The built window program on a real X desktop (Xvfb, openbox, trayer):
// the stored window size across starts, the close through the window
// manager, and the steps of the first show when the window gets no focus.
#include "app/check_cli.h"
#include "platform/program_title.h"
#include "storage/settings_file.h"
#include "support/desktop_rig.h"
#include "support/storage_accounts.h"

#include <QDir>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int WindowTimeoutMs = 20000;
constexpr int ExitTimeoutMs = 15000;

QString programPath()
{
    return QStringLiteral(QUORVAMEL_BIN_DIR) + QStringLiteral("/quorvamel");
}

QString settingsPathOf(const QString& home)
{
    return dataFolderOf(home) + QStringLiteral("/quorvamel.ini");
}

// A settings file whose window has been placed before, at the rectangle
// given in twips.
SettingsRecord placedRecord(float left, float top, float width, float height)
{
    SettingsRecord record = SettingsRecord::templateRecord();
    record.firstRunMarker = 1;
    record.windowLeft = left;
    record.windowTop = top;
    record.windowWidth = width;
    record.windowHeight = height;
    return record;
}

bool writeHomeSettings(const QString& home, const SettingsRecord& record)
{
    return QDir().mkpath(dataFolderOf(home)) && writeSettingsFile(settingsPathOf(home), record);
}

QRectF storedPlacement(const QString& home)
{
    SettingsRecord record;
    if (!readSettingsFile(settingsPathOf(home), record))
        return {};
    return {record.windowLeft, record.windowTop, record.windowWidth, record.windowHeight};
}

QString describe(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

class TestWindowDesktop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void storedSizeSurvivesStarts_data();
    void storedSizeSurvivesStarts();
    void closeThroughWindowManagerSavesTheFrame();
    void firstShowStepsRunWithoutFocus_data();
    void firstShowStepsRunWithoutFocus();

private:
    // One start of the program on the desktop, up to its framed window.
    struct Started
    {
        std::unique_ptr<QProcess> process;
        DesktopRig::WindowId window = 0;
    };
    static Started startProgram(const DesktopRig& desktop, const QString& home);
    // The frame's rectangle once the window manager has framed the window
    // and the window has stopped changing its size.
    static std::optional<QRect> settledFrame(const DesktopRig& desktop,
                                             DesktopRig::WindowId window);
    static void closeAndWait(const DesktopRig& desktop, Started& started);
};

void TestWindowDesktop::init()
{
    if (const QStringList missing = DesktopRig::missingTools(); !missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("not installed: ") + missing.join(QLatin1Char(' '))));
}

TestWindowDesktop::Started TestWindowDesktop::startProgram(const DesktopRig& desktop,
                                                           const QString& home)
{
    Started started;
    started.process = desktop.launch(programPath(), {}, home);
    if (!started.process)
        return started;
    if (const auto window =
            desktop.waitForWindow(started.process->processId(), windowCaption(), WindowTimeoutMs))
        started.window = *window;
    return started;
}

std::optional<QRect> TestWindowDesktop::settledFrame(const DesktopRig& desktop,
                                                     DesktopRig::WindowId window)
{
    // Settled: the same rectangle over half a second.
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

void TestWindowDesktop::closeAndWait(const DesktopRig& desktop, Started& started)
{
    QVERIFY(desktop.closeWindow(started.window));
    QVERIFY2(started.process->waitForFinished(ExitTimeoutMs),
             "the program did not end after the close");
    QCOMPARE(started.process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(started.process->exitCode(), 0);
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
    const QSize inner(700, 480);
    QVERIFY(desktop.moveResize(started.window, QRect(QPoint(-1, -1), inner)));
    QVERIFY(DesktopRig::waitFor(
        [&] {
            const auto now = desktop.innerGeometry(started.window);
            return now && now->size() == inner;
        },
        WindowTimeoutMs));
    const auto frame = settledFrame(desktop, started.window);
    QVERIFY(frame);
    closeAndWait(desktop, started);

    const QRectF placement = storedPlacement(home.path());
    QCOMPARE(placement, QRectF(frame->x() * 15.0, frame->y() * 15.0, frame->width() * 15.0,
                               frame->height() * 15.0));
}

void TestWindowDesktop::firstShowStepsRunWithoutFocus_data()
{
    QTest::addColumn<bool>("trayOn");

    QTest::newRow("tray on") << true;
    QTest::newRow("tray off") << false;
}

void TestWindowDesktop::firstShowStepsRunWithoutFocus()
{
    QFETCH(bool, trayOn);

    DesktopRig::Options options;
    options.focusNewWindows = false;
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
    // The window manager never gave the window the focus.
    QVERIFY(desktop.activeWindow() != started.window);

    started.process->kill();
    started.process->waitForFinished(ExitTimeoutMs);
}

QTEST_MAIN(TestWindowDesktop)
#include "test_window_desktop.moc"
