// The tray icon: when it exists, clicks on it, its menu, the new-mail
// notice, and the window's closing put together with the runs.
#include "runs/run_rig.h"
#include "storage/settings_file.h"
#include "ui/close_request_wiring.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Notice
{
    QString title;
    QString text;
};

struct TrayRig
{
    RunSettings settings;
    bool available = true;
    MainWindow form;
    TrayIcon tray{form, settings, [this] { return available; }};
    QList<Notice> notices;

    // The tray setting comes as stored, through the load.
    explicit TrayRig(qint16 storedTrayOnClose)
    {
        SettingsRecord record = SettingsRecord::templateRecord();
        record.trayOnClose = storedTrayOnClose;
        settings = RunSettings::fromRecord(record, std::nullopt, FontFacts{});
        tray.setNotifier([this](const QString& title, const QString& text) {
            notices.append({title, text});
        });
        form.show();
        tray.addIcon();
    }
};

QAction* trayItem(MainWindow& form, const char* name)
{
    auto* menu = form.findChild<QMenu*>(QStringLiteral("mnuTrayIconPop1"));
    return menu ? menu->findChild<QAction*>(QString::fromLatin1(name)) : nullptr;
}

class RecordingLauncher : public HelpLauncher
{
public:
    bool startProgram(const QString&, const QStringList&) override { return false; }
    bool openUrl(const QUrl&) override { return true; }
};

} // namespace

class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void iconExistsOnlyWithTheTraySetting_data();
    void iconExistsOnlyWithTheTraySetting();
    void iconShowsTheWindowsCaptionAndMenu();
    void leftClickShowsOrHides_data();
    void leftClickShowsOrHides();
    void menuOpenAndHideMenu();
    void newMailNotice_data();
    void newMailNotice();
    void windowClosingWithTheRuns();
    void delayedCloseThroughTheRuns();
};

void TestTray::iconExistsOnlyWithTheTraySetting_data()
{
    QTest::addColumn<qint16>("trayInEffect");
    QTest::addColumn<bool>("available");
    QTest::addColumn<bool>("icon");
    QTest::addColumn<bool>("inEffect");

    QTest::newRow("tray setting, notification area") << qint16(1) << true << true << true;
    QTest::newRow("tray setting, no notification area") << qint16(1) << false << true << false;
    QTest::newRow("no tray setting") << qint16(0) << true << false << false;
    // Only exactly 1 counts as on.
    QTest::newRow("tray setting -1") << qint16(-1) << true << false << false;
}

void TestTray::iconExistsOnlyWithTheTraySetting()
{
    QFETCH(qint16, trayInEffect);
    QFETCH(bool, available);
    QFETCH(bool, icon);
    QFETCH(bool, inEffect);

    TrayRig rig(trayInEffect);
    rig.available = available;
    QCOMPARE(rig.tray.hasIcon(), icon);
    QCOMPARE(rig.tray.isInEffect(), inEffect);

    // Decided once for the run: a later call neither adds nor removes it.
    rig.settings.trayInEffect = !rig.settings.trayInEffect;
    rig.tray.addIcon();
    QCOMPARE(rig.tray.hasIcon(), icon);

    rig.tray.removeIcon();
    QVERIFY(!rig.tray.hasIcon());
    QVERIFY(!rig.tray.isInEffect());
}

void TestTray::iconShowsTheWindowsCaptionAndMenu()
{
    TrayRig rig(1);
    QSystemTrayIcon* icon = rig.tray.icon();
    QVERIFY(icon);
    QCOMPARE(icon->toolTip(), QStringLiteral("Quorvamel email"));
    QVERIFY(!icon->icon().isNull());
    QMenu* menu = icon->contextMenu();
    QVERIFY(menu);
    QCOMPARE(menu->objectName(), QStringLiteral("mnuTrayIconPop1"));
    QCOMPARE(menu->defaultAction(), trayItem(rig.form, "mnuTrayIcoShow"));
    QStringList captions;
    for (QAction* action : menu->actions())
        captions << action->text();
    QCOMPARE(captions, (QStringList{"Open", "Close", "Hide Menu"}));
}

void TestTray::leftClickShowsOrHides_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("toggles");

    QTest::newRow("left click") << int(QSystemTrayIcon::Trigger) << true;
    QTest::newRow("right click") << int(QSystemTrayIcon::Context) << false;
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << false;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << false;
}

void TestTray::leftClickShowsOrHides()
{
    QFETCH(int, reason);
    QFETCH(bool, toggles);

    TrayRig rig(1);
    const auto click = [&] {
        emit rig.tray.icon()->activated(QSystemTrayIcon::ActivationReason(reason));
    };
    click();
    QCOMPARE(rig.form.isVisible(), !toggles);
    click();
    QVERIFY(rig.form.isVisible());
}

void TestTray::menuOpenAndHideMenu()
{
    TrayRig rig(1);
    QSignalSpy closeRequested(&rig.tray, &TrayIcon::closeRequested);

    rig.form.hide();
    trayItem(rig.form, "mnuTrayHideMenu")->trigger();
    QVERIFY(!rig.form.isVisible());

    trayItem(rig.form, "mnuTrayIcoShow")->trigger();
    QVERIFY(rig.form.isVisible());
    trayItem(rig.form, "mnuTrayHideMenu")->trigger();
    QVERIFY(rig.form.isVisible());

    // "Open" also brings back a minimised window.
    rig.form.showMinimized();
    trayItem(rig.form, "mnuTrayIcoShow")->trigger();
    QVERIFY(!rig.form.isMinimized());

    QCOMPARE(closeRequested.count(), 0);
    trayItem(rig.form, "mnuTrayIcoExit")->trigger();
    QCOMPARE(closeRequested.count(), 1);
}

void TestTray::newMailNotice_data()
{
    QTest::addColumn<qint16>("trayInEffect");
    QTest::addColumn<bool>("available");
    QTest::addColumn<int>("newMail");
    QTest::addColumn<QString>("notice");

    QTest::newRow("three new") << qint16(1) << true << 3 << "3 New Mail Items";
    QTest::newRow("one new") << qint16(1) << true << 1 << "1 New Mail Item";
    QTest::newRow("nothing new") << qint16(1) << true << 0 << "";
    QTest::newRow("no tray setting") << qint16(0) << true << 3 << "";
    QTest::newRow("no notification area") << qint16(1) << false << 3 << "";
}

void TestTray::newMailNotice()
{
    QFETCH(qint16, trayInEffect);
    QFETCH(bool, available);
    QFETCH(int, newMail);
    QFETCH(QString, notice);

    TrayRig rig(trayInEffect);
    rig.available = available;
    rig.tray.announceNewMail(newMail, 12);

    if (notice.isEmpty()) {
        QVERIFY(rig.notices.isEmpty());
        return;
    }
    QCOMPARE(rig.notices.size(), 1);
    QCOMPARE(rig.notices.first().title, QStringLiteral("Quorvamel email"));
    QCOMPARE(rig.notices.first().text, notice);
}

void TestTray::windowClosingWithTheRuns()
{
    QTemporaryDir dir;
    RunRig rig;
    rig.settings.trayInEffect = 1;
    rig.settings.trayOnClose = 0; // unticked during the run
    rig.accounts.setUsersFilePath(dir.filePath(QStringLiteral("pop3user.ini")));
    rig.addAccount(QStringLiteral("ann"), QStringLiteral("pw"), 110);
    MainWindow form;
    const QString settingsPath = dir.filePath(QStringLiteral("quorvamel.ini"));
    auto* closing = new WindowClosing(
        form, *rig.runs, rig.settings, rig.accounts, rig.prompter, {settingsPath, dir.path()},
        [] { return true; }, std::make_unique<RecordingLauncher>());
    QList<QString> notices;
    closing->trayIcon().setNotifier(
        [&notices](const QString&, const QString& text) { notices << text; });
    form.show();

    // The icon comes with the first activation.
    QVERIFY(!closing->trayIcon().hasIcon());
    form.handleFirstActivation();
    QVERIFY(closing->trayIcon().hasIcon());

    emit rig.runs->checkRunCompleted(2, 5);
    QCOMPARE(notices, QList<QString>{QStringLiteral("2 New Mail Items")});

    // The close box hides; the tray menu's "Close" ends with saving.
    closing->aboutBox().show();
    QVERIFY(closing->aboutBox().dialog());
    form.close();
    QVERIFY(!form.isVisible());
    QVERIFY(!QFile::exists(settingsPath));
    QVERIFY(QFile::exists(rig.accounts.usersFilePath()));

    trayItem(form, "mnuTrayIcoExit")->trigger();
    QVERIFY(closing->closeRequest().hasUnloaded());
    QVERIFY(!closing->trayIcon().hasIcon());
    QVERIFY(!closing->aboutBox().dialog());
    SettingsRecord record;
    QVERIFY(readSettingsFile(settingsPath, record));
    QCOMPARE(record.trayOnClose, qint16(0));
}

void TestTray::delayedCloseThroughTheRuns()
{
    QTemporaryDir dir;
    RunRig rig;
    rig.settings.trayInEffect = 1;
    MainWindow form;
    const QString settingsPath = dir.filePath(QStringLiteral("quorvamel.ini"));
    // The tray setting is on but the desktop has no notification area.
    auto* closing = new WindowClosing(
        form, *rig.runs, rig.settings, rig.accounts, rig.prompter, {settingsPath, dir.path()},
        [] { return false; }, std::make_unique<RecordingLauncher>());
    form.show();
    form.handleFirstActivation();
    rig.runs->reserve(); // a run is about to start

    form.close();

    QVERIFY(form.isVisible());
    QVERIFY(rig.runs->isBusy());
    QVERIFY(rig.runs->isClosing());
    QVERIFY(rig.runs->cancelRequested());
    QCOMPARE(closing->closeRequest().closeTicks(), 1);
    QVERIFY(closing->closeRequest().closeTimer().isActive());

    rig.runs->startCheck(); // the run sees the cancel and ends
    QVERIFY(!rig.runs->isBusy());
    QVERIFY(rig.prompter.shown().isEmpty());
    closing->closeRequest().closeTick();
    QVERIFY(closing->closeRequest().hasUnloaded());
    QVERIFY(!form.isVisible());
    QVERIFY(QFile::exists(settingsPath));
}

QTEST_MAIN(TestTray)
#include "test_tray.moc"
