// Closing the main window: hiding to the tray, the delayed close during a
// run, and what the final close writes to the settings file.
#include "model/account_list_model.h"
#include "runs/account_store.h"
#include "storage/run_settings.h"
#include "storage/settings_file.h"
#include "support/common_scripted_prompter.h"
#include "ui/close_request.h"
#include "ui/mail_list_view.h"
#include "ui/mainwindow.h"
#include "ui/tray_icon.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <memory>

namespace {

struct FakeRunFlags : CloseRunFlags
{
    bool busy = false;
    bool closing = false;
    bool cancel = false;

    bool isBusy() const override { return busy; }
    bool isClosing() const override { return closing; }
    void beginClosing() override { closing = cancel = true; }
};

AccountRow account(int number, const QString& password)
{
    AccountRow row;
    row.key = {number, password};
    row.displayName = QStringLiteral("Box %1").arg(number);
    row.userName = QStringLiteral("user%1").arg(number);
    row.serverName = QStringLiteral("pop.example.org");
    row.port = QStringLiteral("110");
    return row;
}

// The window with its lists, a tray icon whose notification area is
// injected, and the close request wired as the program wires it.
struct CloseRig
{
    QTemporaryDir dir;
    QString settingsPath = dir.filePath(QStringLiteral("quorvamel.ini"));
    QString usersPath = dir.filePath(QStringLiteral("pop3user.ini"));
    RunSettings settings;
    AccountListModel accounts;
    ScriptedPrompter prompter;
    FakeRunFlags flags;
    bool trayAvailable = true;
    MainWindow form;
    TrayIcon tray{form, settings, [this] { return trayAvailable; }};
    std::unique_ptr<CloseRequest> request;

    explicit CloseRig(qint16 trayInEffect = 0, bool withAccounts = true)
    {
        settings.trayInEffect = trayInEffect;
        settings.trayOnClose = trayInEffect;
        accounts.setUsersFilePath(usersPath);
        if (withAccounts) {
            accounts.appendAccountRow(account(1, QStringLiteral("first pw")));
            accounts.appendAccountRow(account(2, QStringLiteral("Second")));
        }
        form.setAccountListModel(&accounts);
        request =
            std::make_unique<CloseRequest>(form, flags, settings, accounts, prompter, settingsPath);
        request->setCanHideToTray([this] { return tray.isInEffect(); });
        tray.addIcon();
        form.show();
    }

    QStringList usersOnDisk() const
    {
        AccountListModel loaded;
        if (!QFile::exists(usersPath) || !loadAccountList(loaded, usersPath))
            return {};
        QStringList names;
        for (int i = 0; i < loaded.rowCount(); ++i)
            names << loaded.rowAt(i).displayName + '|' + loaded.rowAt(i).key.password;
        return names;
    }
};

const QStringList BothAccounts{QStringLiteral("Box 1|first pw"), QStringLiteral("Box 2|Second")};

} // namespace

class TestCloseRequest : public QObject
{
    Q_OBJECT

private slots:
    void closeModes_data();
    void closeModes();
    void emptyAccountListLeavesUsersFileAlone();
    void delayedCloseTicks_data();
    void delayedCloseTicks();
    void delayedCloseEndsWhenRunStops();
    void settingsFileAfterFinalClose();
    void windowStateDecidesWhatIsCaptured_data();
    void windowStateDecidesWhatIsCaptured();
    void failedSettingsWriteIsShownAndLeavesNothingBehind();
};

void TestCloseRequest::closeModes_data()
{
    QTest::addColumn<qint16>("trayInEffect");
    QTest::addColumn<bool>("trayAvailable");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("pending"); // a delayed close is already pending
    QTest::addColumn<bool>("byProgram");
    QTest::addColumn<int>("outcome");

    const int hidden = CloseRequest::Hidden, delayed = CloseRequest::Delayed;
    const int closed = CloseRequest::Closed;
    QTest::newRow("tray, close box, idle")
        << qint16(1) << true << false << false << false << hidden;
    QTest::newRow("tray, close box, run goes on")
        << qint16(1) << true << true << false << false << hidden;
    QTest::newRow("tray set but no notification area, idle")
        << qint16(1) << false << false << false << false << closed;
    QTest::newRow("tray set but no notification area, run busy")
        << qint16(1) << false << true << false << false << delayed;
    QTest::newRow("no tray, idle") << qint16(0) << true << false << false << false << closed;
    QTest::newRow("no tray, run busy") << qint16(0) << true << true << false << false << delayed;
    QTest::newRow("no tray, second close while pending")
        << qint16(0) << true << true << true << false << closed;
    QTest::newRow("tray menu Close") << qint16(1) << true << false << false << true << closed;
    QTest::newRow("program close during a run")
        << qint16(0) << true << true << false << true << closed;
}

void TestCloseRequest::closeModes()
{
    QFETCH(qint16, trayInEffect);
    QFETCH(bool, trayAvailable);
    QFETCH(bool, busy);
    QFETCH(bool, pending);
    QFETCH(bool, byProgram);
    QFETCH(int, outcome);

    CloseRig rig(trayInEffect);
    rig.trayAvailable = trayAvailable;
    rig.flags.busy = busy;
    rig.flags.closing = pending;
    QSignalSpy unloading(rig.request.get(), &CloseRequest::unloading);

    if (byProgram)
        rig.request->closeFromProgram();
    else
        rig.form.close();

    // The users file is written first, whatever becomes of the close.
    QCOMPARE(rig.usersOnDisk(), BothAccounts);
    QCOMPARE(rig.flags.busy, busy); // the run itself ends the busy time
    QCOMPARE(rig.flags.closing, pending || outcome == CloseRequest::Delayed);
    QCOMPARE(QFile::exists(rig.settingsPath), outcome == CloseRequest::Closed);
    QCOMPARE(unloading.count(), outcome == CloseRequest::Closed ? 1 : 0);
    QCOMPARE(rig.form.isVisible(), outcome == CloseRequest::Delayed);
    QCOMPARE(rig.request->closeTimer().isActive(), outcome == CloseRequest::Delayed);
    QCOMPARE(rig.flags.cancel, outcome == CloseRequest::Delayed);
    QCOMPARE(rig.request->closeTicks(), outcome == CloseRequest::Delayed ? 1 : 0);
    QVERIFY(rig.prompter.texts().isEmpty());
}

void TestCloseRequest::emptyAccountListLeavesUsersFileAlone()
{
    CloseRig rig(0, false);
    QFile users(rig.usersPath);
    QVERIFY(users.open(QIODevice::WriteOnly));
    users.write(QByteArray(454, 'x'));
    users.close();

    rig.form.close();

    QVERIFY(rig.request->hasUnloaded());
    QVERIFY(users.open(QIODevice::ReadOnly));
    QCOMPARE(users.readAll(), QByteArray(454, 'x'));
}

void TestCloseRequest::delayedCloseTicks_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<bool>("notice");
    QTest::addColumn<bool>("closed");

    QTest::newRow("5 ticks: quiet") << 5 << false << false;
    QTest::newRow("6 ticks: notice") << 6 << true << false;
    QTest::newRow("30 ticks: still waiting") << 30 << true << false;
    QTest::newRow("31 ticks: forced close") << 31 << true << true;
}

void TestCloseRequest::delayedCloseTicks()
{
    QFETCH(int, ticks);
    QFETCH(bool, notice);
    QFETCH(bool, closed);

    CloseRig rig;
    rig.form.setLogText(QStringLiteral("..Checking For Mail"));
    rig.flags.busy = true;
    rig.form.close();
    QVERIFY(rig.request->closeTimer().isActive());

    // The run never stops.
    for (int i = 0; i < ticks; ++i)
        rig.request->closeTick();

    QCOMPARE(rig.request->closeTicks(), ticks + 1);
    QCOMPARE(rig.form.logText(),
             notice ? CloseRequest::DelayedText : QStringLiteral("..Checking For Mail"));
    QCOMPARE(rig.form.statusText() == CloseRequest::DelayedText, notice);
    QCOMPARE(rig.request->hasUnloaded(), closed);
    QCOMPARE(rig.form.isVisible(), !closed);
    QCOMPARE(rig.request->closeTimer().isActive(), !closed);
    QCOMPARE(QFile::exists(rig.settingsPath), closed);
}

void TestCloseRequest::delayedCloseEndsWhenRunStops()
{
    CloseRig rig;
    rig.request->setTickMs(10);
    rig.flags.busy = true;
    rig.form.close();
    QVERIFY(rig.form.isVisible());

    // The run notices the cancel and ends during the third tick.
    QObject::connect(&rig.request->closeTimer(), &QTimer::timeout, [&rig] {
        if (rig.request->closeTicks() == 3)
            rig.flags.busy = false;
    });
    QTRY_VERIFY_WITH_TIMEOUT(rig.request->hasUnloaded(), 2000);

    QVERIFY(!rig.form.isVisible());
    QVERIFY(!rig.request->closeTimer().isActive());
    QVERIFY(QFile::exists(rig.settingsPath));
    // Closed on the next tick, without the notice.
    QCOMPARE(rig.request->closeTicks(), 4);
    QVERIFY(rig.form.logText() != CloseRequest::DelayedText);
}

void TestCloseRequest::settingsFileAfterFinalClose()
{
    CloseRig rig;
    rig.settings.trayOnClose = true; // changed during the run; trayInEffect stays false
    rig.settings.runPassword = QStringLiteral("Open Sesame 7");
    rig.settings.apopSecret = QStringLiteral("shared apop secret, with blanks");
    rig.settings.recheckIntervalMinutes = 45;
    rig.settings.dateStyle = DateStyle::WithDayName;
    rig.settings.firstRunMarker = true;
    rig.settings.readRecord.reserved64 = QByteArray(48, 'r');
    rig.form.placeWindow({1500, 1200, 9000, 6000});
    rig.form.setLogSplit(true);
    const int mailPixels[6] = {50, 61, 72, 83, 94, 105};
    const int accountPixels[4] = {40, 51, 62, 73};
    for (int i = 0; i < 6; ++i)
        rig.form.mailListView()->setColumnWidth(i, mailPixels[i]);
    for (int i = 0; i < 4; ++i)
        rig.form.accountListView()->setColumnWidth(i, accountPixels[i]);

    rig.form.close();
    QVERIFY(rig.request->hasUnloaded());

    SettingsRecord record;
    QVERIFY(readSettingsFile(rig.settingsPath, record));
    QCOMPARE(QFileInfo(rig.settingsPath).size(), qint64(SettingsRecord::Size));
    QCOMPARE(record.trayOnClose, qint16(1));
    QCOMPARE(record.reserved64, QByteArray(48, 'r'));
    QCOMPARE(record.logSplit, qint16(1));
    const RunSettings loaded = RunSettings::fromRecord(record, std::nullopt, FontFacts{});
    QCOMPARE(loaded.trayInEffect, true);
    QCOMPARE(loaded.runPassword, QStringLiteral("Open Sesame 7"));
    QCOMPARE(loaded.apopSecret, QStringLiteral("shared apop secret, with blanks"));
    QCOMPARE(loaded.recheckIntervalMinutes, 45);
    QCOMPARE(loaded.dateStyle, DateStyle::WithDayName);
    QCOMPARE(loaded.firstRunMarker, true);
    QCOMPARE(record.firstRunMarker, 1);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(loaded.mailColumnWidths[i], float(mailPixels[i] * 15));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(loaded.accountColumnWidths[i], float(accountPixels[i] * 15));
    QCOMPARE(loaded.windowLeft, 1500.0f);
    QCOMPARE(loaded.windowTop, 1200.0f);
    QCOMPARE(loaded.windowWidth, 9000.0f);
    QCOMPARE(loaded.windowHeight, 6000.0f);
}

void TestCloseRequest::windowStateDecidesWhatIsCaptured_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("widthsCaptured");

    QTest::newRow("minimised") << int(Qt::WindowMinimized) << false;
    QTest::newRow("maximised") << int(Qt::WindowMaximized) << true;
}

void TestCloseRequest::windowStateDecidesWhatIsCaptured()
{
    QFETCH(int, state);
    QFETCH(bool, widthsCaptured);

    CloseRig rig;
    // As loaded at start.
    rig.settings.mailColumnWidths = {1000, 1100, 1200, 1300, 1400, 1500};
    rig.settings.accountColumnWidths = {900, 915, 930, 945};
    rig.settings.windowLeft = 300;
    rig.settings.windowTop = 450;
    // The last placement in the normal state, then the columns change.
    rig.form.placeWindow({1500, 1200, 9000, 6000});
    for (int i = 0; i < 6; ++i)
        rig.form.mailListView()->setColumnWidth(i, 70 + i);
    for (int i = 0; i < 4; ++i)
        rig.form.accountListView()->setColumnWidth(i, 80 + i);
    rig.form.setWindowState(Qt::WindowState(state));
    QTest::qWait(20);

    rig.form.close();

    SettingsRecord record;
    QVERIFY(readSettingsFile(rig.settingsPath, record));
    const RunSettings loaded = RunSettings::fromRecord(record, std::nullopt, FontFacts{});
    for (int i = 0; i < 6; ++i)
        QCOMPARE(loaded.mailColumnWidths[i],
                 widthsCaptured ? float((70 + i) * 15) : float(1000 + 100 * i));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(loaded.accountColumnWidths[i],
                 widthsCaptured ? float((80 + i) * 15) : float(900 + 15 * i));
    // Never the minimised or maximised frame: the last normal placement.
    QCOMPARE(loaded.windowLeft, 1500.0f);
    QCOMPARE(loaded.windowTop, 1200.0f);
    QCOMPARE(loaded.windowWidth, 9000.0f);
    QCOMPARE(loaded.windowHeight, 6000.0f);
}

void TestCloseRequest::failedSettingsWriteIsShownAndLeavesNothingBehind()
{
    CloseRig rig;
    QVERIFY(QDir().mkdir(rig.settingsPath)); // the settings path is a folder
    const auto entries = [&rig] {
        return QDir(rig.dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    };
    QStringList expected = entries() << QStringLiteral("pop3user.ini");
    expected.sort();

    rig.form.close();

    QCOMPARE(rig.prompter.texts(), QStringList{CloseRequest::SaveFailedText});
    QCOMPARE(rig.prompter.shown().first().title, QStringLiteral("Quorvamel"));
    QVERIFY(QFileInfo(rig.settingsPath).isDir());
    QVERIFY(QDir(rig.settingsPath).isEmpty());
    // Only the users file was added: no temporary file is left over.
    QCOMPARE(entries(), expected);
    // The program still ends.
    QVERIFY(rig.request->hasUnloaded());
    QVERIFY(!rig.form.isVisible());
}

QTEST_MAIN(TestCloseRequest)
#include "test_close_request.moc"
