// The main window driving the engine: cancel during a run, the timed
// re-check and the alarm from the window, the spin buttons, the options, the
// mail-list menu, and what the window shows after loading its settings.
#include "model/list_rows.h"
#include "runs/account_store.h"
#include "storage/settings_file.h"
#include "storage/users_file.h"
#include "support/servers_pop3_peer.h"
#include "test_check_window_rig.h"
#include "ui/mail_list_actions.h"
#include "ui/mail_list_view.h"

#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>

namespace {

Pop3Script oneMessageScript(const QByteArray& user)
{
    return Pop3Script()
        .send(Pop3Reply::greeting())
        .expect("USER " + QString::fromLatin1(user))
        .send(Pop3Reply::ok())
        .expect("PASS pw")
        .send(Pop3Reply::ok())
        .expect("STAT")
        .send(Pop3Reply::stat(1, 100))
        .expect("TOP 1 2")
        .send(Pop3Reply::top(
            Pop3Reply::headers("Ann <ann@example.org>", "Lunch", "Mon, 6 Jan 2003 09:15:00 +0000")))
        .expect("QUIT")
        .send(Pop3Reply::ok("bye"))
        .close();
}

MailItem mailRow(const QString& user, const QString& port, MailImage image, const QString& subject)
{
    MailItem item;
    item.displayName = user;
    item.userName = user;
    item.from = QStringLiteral("x@example.org");
    item.subject = subject;
    item.dateSent = QStringLiteral("1/6/03");
    item.server = QStringLiteral("pop.example.org");
    item.port = port;
    item.key = {1, QStringLiteral("pw")};
    item.image = image;
    return item;
}

} // namespace

class TestCheckWindow : public QObject
{
    Q_OBJECT

private slots:
    void cancelDuringRun_data();
    void cancelDuringRun();
    void timedRecheckAndAlarm();
    void indicatorRightPressShutsBriefly();
    void spinButtons_data();
    void spinButtons();
    void alarmAndTimerOptions();
    void mailListMenu_data();
    void mailListMenu();
    void checkAllForUser_data();
    void checkAllForUser();
    void switchingCheckBoxesKeepsImages();
    void loadShowsSettingsAndAccounts_data();
    void loadShowsSettingsAndAccounts();
    void autoCheckOnFirstActivation();
    void deleteButtonAsksFirst();
};

void TestCheckWindow::cancelDuringRun_data()
{
    QTest::addColumn<int>("deleteEnabled");
    QTest::addColumn<QString>("idleState");
    QTest::newRow("delete functions off") << 0 << "check seen tabs tab1";
    QTest::newRow("delete functions on") << 1 << "check seen delete tabs tab1";
}

void TestCheckWindow::cancelDuringRun()
{
    QFETCH(int, deleteEnabled);
    QFETCH(QString, idleState);

    // The server answers up to the first header request, then stays silent:
    // the cancel is carried out by the watchdog's next tick.
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script()
                       .send(Pop3Reply::greeting())
                       .expect("USER amy")
                       .send(Pop3Reply::ok())
                       .expect("PASS pw")
                       .send(Pop3Reply::ok())
                       .expect("STAT")
                       .send(Pop3Reply::stat(2, 300))
                       .expect("TOP 1 2")
                       .silence()
                       .tolerateExtraCommands());
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));

    CheckWindowRig rig;
    rig.settings.deleteEnabled = deleteEnabled == 1;
    rig.window.setDeleteEnabled(deleteEnabled == 1);
    rig.runs().sessionDriver().watchdogTimer().setInterval(100);
    rig.addAccount(QStringLiteral("amy"), QStringLiteral("pw"), peer.port());
    rig.mails().appendItem(mailRow("old", "110", MailImage::Seen, "left from before"));
    rig.window.selectTab(MainWindow::SettingsTab);

    QSignalSpy ended(&rig.runs(), &RunCoordinator::runEnded);
    QTest::mouseClick(rig.button("Command1"), Qt::LeftButton);
    QCOMPARE(rig.controlState(), QStringLiteral("cancel tab1"));
    QVERIFY2(QTest::qWaitFor([&] { return peer.commands().contains("TOP 1 2"); }, 5000),
             qPrintable(peer.report()));
    QCOMPARE(rig.runs().state(), RunState::Checking);

    QTest::mouseClick(rig.button("Command7"), Qt::LeftButton);
    QVERIFY(rig.runs().cancelRequested());
    QVERIFY(ended.wait(5000));

    QCOMPARE(rig.mails().itemCount(), 0);
    QCOMPARE(rig.logBoxLines().last(), QStringLiteral("..Process Halted: Operation Canceled"));
    QVERIFY2(
        rig.window.statusText().endsWith(QStringLiteral("..Process Halted: Operation Canceled")),
        qPrintable(rig.window.statusText()));
    QCOMPARE(rig.prompter.texts(), QStringList{"Process Halted: Operation Canceled"});
    QCOMPARE(rig.controlState(), idleState);
    QVERIFY(!rig.runs().isBusy());
}

void TestCheckWindow::timedRecheckAndAlarm()
{
    ScriptedPop3Peer peer;
    peer.addScript(oneMessageScript("amy"));
    peer.addScript(oneMessageScript("amy"));
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));

    CheckWindowRig rig;
    rig.settings.recheckIntervalMinutes = 1;
    rig.settings.playSound = 1;
    rig.settings.continuousAlarm = 1;
    rig.addAccount(QStringLiteral("amy"), QStringLiteral("pw"), peer.port());
    rig.wiring.clock().setMinuteMs(60);
    rig.wiring.clock().alarmTimer().setInterval(40);
    rig.wiring.clock().setAlarmFlashMs(10);
    auto* text10 = rig.find<QLineEdit>("Text10");
    auto* picture7 = rig.find("Picture7");
    rig.window.show();
    // The timer goes off as the second timed run ends.
    QSignalSpy ended(&rig.runs(), &RunCoordinator::runEnded);
    QObject::connect(&rig.runs(), &RunCoordinator::runEnded, text10, [&] {
        if (ended.size() == 2)
            QTest::mouseDClick(text10, Qt::LeftButton);
    });

    QTest::mouseDClick(text10, Qt::LeftButton);
    QCOMPARE(text10->text(), QStringLiteral("1"));
    QCOMPARE(text10->toolTip(), RecheckClock::onTip(1));
    QCOMPARE(rig.window.focusWidget(), rig.button("Command8"));
    QVERIFY(QTest::qWaitFor([&] { return ended.size() == 2; }, 15000));
    QVERIFY_PEER_DONE(peer, 5000);

    QCOMPARE(text10->text(), QString());
    QCOMPARE(text10->toolTip(), RecheckClock::OffTip);
    QCOMPARE(rig.controlState(), QStringLiteral("check seen tabs tab1"));
    QCOMPARE(rig.logBoxLines().last(),
             QStringLiteral("..Check Complete: 1 New Mail Item -Total Items: 1"));
    // The alarm sounds until its label is clicked.
    QVERIFY(picture7->isVisibleTo(&rig.window));
    const int beepsBefore = rig.beeps;
    QVERIFY(QTest::qWaitFor([&] { return rig.beeps >= beepsBefore + 2; }, 3000));
    QTest::mouseClick(rig.find("Label17"), Qt::LeftButton);
    QVERIFY(!picture7->isVisibleTo(&rig.window));
    QVERIFY(!rig.wiring.clock().alarmActive());
    QTest::qWait(50);
    const int beepsAtStop = rig.beeps;
    QTest::qWait(150);
    QCOMPARE(rig.beeps, beepsAtStop);
    QVERIFY(rig.prompter.texts().isEmpty());
}

void TestCheckWindow::indicatorRightPressShutsBriefly()
{
    CheckWindowRig rig;
    auto* text10 = rig.find<QLineEdit>("Text10");
    QTest::mousePress(text10, Qt::RightButton);
    QVERIFY(!text10->isEnabled());
    QVERIFY(rig.find<QTimer>("Timer3")->isActive());
    QCOMPARE(rig.find<QTimer>("Timer3")->interval(), 600);
    QTest::qWait(300);
    QVERIFY(!text10->isEnabled());
    QVERIFY(QTest::qWaitFor([&] { return text10->isEnabled(); }, 2000));
    QVERIFY(!rig.find<QTimer>("Timer3")->isActive());
    QVERIFY(!rig.wiring.clock().isRunning());
}

void TestCheckWindow::spinButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<int>("lowest"); // expected value range after release
    QTest::addColumn<int>("highest");

    const int ctrl = int(Qt::ControlModifier);
    QTest::newRow("interval up") << "Command11" << 0 << 30 << 0 << 31 << 31;
    QTest::newRow("interval up with Ctrl") << "Command11" << ctrl << 30 << 0 << 40 << 40;
    QTest::newRow("Ctrl with Shift is the short step")
        << "Command11" << (ctrl | int(Qt::ShiftModifier)) << 30 << 0 << 31 << 31;
    QTest::newRow("interval never above 9999") << "Command11" << ctrl << 9995 << 0 << 9999 << 9999;
    QTest::newRow("interval down from 3 with Ctrl stops at 1")
        << "Command10" << ctrl << 3 << 0 << 1 << 1;
    QTest::newRow("time-out never below 5") << "Command6" << 0 << 5 << 0 << 5 << 5;
    QTest::newRow("time-out never above 600") << "Command9" << ctrl << 595 << 0 << 600 << 600;
    QTest::newRow("time-out held repeats") << "Command9" << 0 << 180 << 300 << 183 << 195;
    QTest::newRow("interval held repeats") << "Command10" << 0 << 100 << 300 << 85 << 97;
}

void TestCheckWindow::spinButtons()
{
    QFETCH(QString, button);
    QFETCH(int, modifiers);
    QFETCH(int, start);
    QFETCH(int, holdMs);
    QFETCH(int, lowest);
    QFETCH(int, highest);

    CheckWindowRig rig;
    const bool interval = button == "Command10" || button == "Command11";
    if (interval)
        rig.settings.recheckIntervalMinutes = start;
    else
        rig.settings.serverTimeoutSeconds = start;
    // First repeat after 100 ms, then every 20 ms.
    rig.wiring.recheckControls().setSpinDelays(100, 20);
    auto* spin = rig.button(qPrintable(button));
    const auto mods = Qt::KeyboardModifiers(modifiers);
    // The release comes while the press is still repeating its steps.
    QTimer::singleShot(holdMs, spin, [&] { QTest::mouseRelease(spin, Qt::LeftButton, mods); });
    QTest::mousePress(spin, Qt::LeftButton, mods);
    QCOMPARE(interval ? rig.wiring.recheckControls().intervalSpinHeld()
                      : rig.wiring.recheckControls().timeoutSpinHeld(),
             false);

    const int value =
        interval ? rig.settings.recheckIntervalMinutes : rig.settings.serverTimeoutSeconds;
    QVERIFY2(value >= lowest && value <= highest, qPrintable(QString::number(value)));
    const QLineEdit* box = rig.find<QLineEdit>(interval ? "Text6" : "Text9");
    QCOMPARE(box->text(), QString::number(value));
    if (!interval)
        QCOMPARE(rig.settings.serverTimeout.count(), value * 1000.0);
}

void TestCheckWindow::alarmAndTimerOptions()
{
    CheckWindowRig rig;
    auto* check5 = rig.find<QCheckBox>("Check5");
    auto* check10 = rig.find<QCheckBox>("Check10");

    // The continuous alarm brings the sound with it.
    QTest::mouseClick(check10, Qt::LeftButton);
    QVERIFY(check5->isChecked());
    QCOMPARE(rig.settings.continuousAlarm, true);
    QCOMPARE(rig.settings.playSound, true);
    // Clearing the sound leaves the alarm box ticked, and then nothing sounds.
    QTest::mouseClick(check5, Qt::LeftButton);
    QVERIFY(check10->isChecked());
    QCOMPARE(rig.settings.playSound, false);
    rig.wiring.clock().checkRunCompleted(3);
    QCOMPARE(rig.beeps, 0);
    QVERIFY(!rig.wiring.clock().alarmActive());

    // Clearing the alarm box stops an alarm in progress.
    QTest::mouseClick(check5, Qt::LeftButton);
    rig.wiring.clock().checkRunCompleted(1);
    QVERIFY(rig.wiring.clock().alarmActive());
    QVERIFY(rig.find("Picture7")->isVisibleTo(&rig.window));
    QTest::mouseClick(check10, Qt::LeftButton);
    QCOMPARE(rig.settings.continuousAlarm, false);
    QVERIFY(!rig.wiring.clock().alarmActive());
    QVERIFY(!rig.find("Picture7")->isVisibleTo(&rig.window));
    // Cleared in code, as the page's Defaults do, it stops the alarm too.
    QTest::mouseClick(check10, Qt::LeftButton);
    rig.wiring.clock().checkRunCompleted(1);
    QVERIFY(rig.wiring.clock().alarmActive());
    check10->setChecked(false);
    QCOMPARE(rig.settings.continuousAlarm, false);
    QVERIFY(!rig.wiring.clock().alarmActive());

    QTest::mouseClick(rig.find<QCheckBox>("Check8"), Qt::LeftButton);
    QTest::mouseClick(rig.find<QCheckBox>("Check11"), Qt::LeftButton);
    QCOMPARE(rig.settings.autoStartTimer, true);
    QCOMPARE(rig.settings.idleIfOffline, true);
    QTest::mouseClick(rig.find<QCheckBox>("Check11"), Qt::LeftButton);
    QCOMPARE(rig.settings.idleIfOffline, false);
}

void TestCheckWindow::mailListMenu_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("deleteEnabled");
    QTest::addColumn<bool>("opens");
    QTest::newRow("rows and delete on") << 2 << 1 << true;
    QTest::newRow("delete functions off") << 2 << 0 << false;
    QTest::newRow("empty list") << 0 << 1 << false;
}

void TestCheckWindow::mailListMenu()
{
    QFETCH(int, rows);
    QFETCH(int, deleteEnabled);
    QFETCH(bool, opens);

    CheckWindowRig rig;
    rig.settings.deleteEnabled = deleteEnabled == 1;
    rig.window.showMailCheckBoxes(deleteEnabled == 1);
    for (int i = 0; i < rows; ++i)
        rig.mails().appendItem(mailRow("amy", "110", MailImage::New, QString::number(i)));
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    auto* menu = rig.find<QMenu>("mnuP3Pop1");
    QWidget* viewport = rig.window.mailListView()->viewport();
    QTest::mouseRelease(viewport, Qt::RightButton, {}, QPoint(20, 10));
    QCOMPARE(menu->isVisible(), opens);
    if (!opens)
        return;
    menu->findChild<QAction*>("mnuCheckAll")->trigger();
    menu->hide();
    QCOMPARE(isRowChecked(rig.mails(), 1), std::optional<bool>(true));
    QCOMPARE(isRowChecked(rig.mails(), rows), std::optional<bool>(true));
    rig.wiring.mailListActions().checkAll(false);
    QCOMPARE(isRowChecked(rig.mails(), 1), std::optional<bool>(false));
}

void TestCheckWindow::checkAllForUser_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("checked"); // rows ticked afterwards, as "1"/"0"
    // Rows: amy:110, amy:995, bob:110, amy:110, amy (no mail), amy (no mail).
    QTest::newRow("same user, server and port") << 0 << "100100";
    QTest::newRow("another port is another user") << 1 << "010000";
    QTest::newRow("no-mail rows match each other") << 4 << "000011";
}

void TestCheckWindow::checkAllForUser()
{
    QFETCH(int, selected);
    QFETCH(QString, checked);

    CheckWindowRig rig;
    rig.settings.deleteEnabled = 1;
    rig.window.showMailCheckBoxes(true);
    rig.mails().appendItem(mailRow("amy", "110", MailImage::New, "a"));
    rig.mails().appendItem(mailRow("amy", "995", MailImage::New, "b"));
    rig.mails().appendItem(mailRow("bob", "110", MailImage::New, "c"));
    rig.mails().appendItem(mailRow("amy", "110", MailImage::Seen, "d"));
    rig.mails().appendItem(MailItem::noMailRow("Amy", "amy"));
    rig.mails().appendItem(MailItem::noMailRow("Amy 2", "amy"));
    MailListView* view = rig.window.mailListView();
    // The list shows arriving rows in batches; a user selects a shown one.
    QVERIFY(QTest::qWaitFor([view] { return view->model()->rowCount() == 6; }));
    view->setCurrentIndex(view->model()->index(selected, 0));

    rig.find<QMenu>("mnuP3Pop1")->findChild<QAction*>("mnuCheckAllUser")->trigger();
    QString ticked;
    for (int n = 1; n <= rig.mails().itemCount(); ++n)
        ticked += checkedText(isRowChecked(rig.mails(), n));
    QCOMPARE(ticked, checked);

    rig.find<QMenu>("mnuP3Pop1")->findChild<QAction*>("mnuUnCheckAllUser")->trigger();
    for (int n = 1; n <= rig.mails().itemCount(); ++n)
        QCOMPARE(isRowChecked(rig.mails(), n), std::optional<bool>(false));
}

void TestCheckWindow::switchingCheckBoxesKeepsImages()
{
    CheckWindowRig rig;
    rig.settings.deleteEnabled = 1;
    MailListActions& actions = rig.wiring.mailListActions();
    actions.switchCheckBoxes(true);
    rig.mails().appendItem(mailRow("amy", "110", MailImage::New, "a"));
    rig.mails().appendItem(mailRow("amy", "110", MailImage::Seen, "b"));
    actions.checkAll(true);

    actions.switchCheckBoxes(false);
    QCOMPARE(rig.window.mailListView()->pictureSet(), 1);
    actions.switchCheckBoxes(true);
    QCOMPARE(rig.window.mailListView()->pictureSet(), 2);
    QCOMPARE(rig.mails().item(0).image, MailImage::New);
    QCOMPARE(rig.mails().item(1).image, MailImage::Seen);
    QCOMPARE(isRowChecked(rig.mails(), 1), std::optional<bool>(false));
    QCOMPARE(isRowChecked(rig.mails(), 2), std::optional<bool>(false));

    // "Seen" keeps the ticks and marks every row seen.
    actions.checkAll(true);
    QTest::mouseClick(rig.button("Command2"), Qt::LeftButton);
    QCOMPARE(rig.mails().item(0).image, MailImage::Seen);
    QCOMPARE(isRowChecked(rig.mails(), 1), std::optional<bool>(true));
}

void TestCheckWindow::loadShowsSettingsAndAccounts_data()
{
    QTest::addColumn<bool>("settingsReadable");
    QTest::addColumn<int>("firstRunMarker");
    QTest::newRow("placed before") << true << 1;
    QTest::newRow("first run") << true << 0;
    QTest::newRow("unreadable settings") << false << 1;
}

void TestCheckWindow::loadShowsSettingsAndAccounts()
{
    QFETCH(bool, settingsReadable);
    QFETCH(int, firstRunMarker);

    QTemporaryDir dir;
    const QString settingsPath = dir.filePath("quorvamel.ini");
    const QString usersPath = dir.filePath(UsersFileName);
    SettingsRecord record = SettingsRecord::templateRecord();
    record.firstRunMarker = firstRunMarker;
    record.windowLeft = 300;
    record.windowTop = 450;
    record.windowWidth = 9000;
    record.windowHeight = 6000;
    record.setServerTimeoutMs(2000);
    record.deleteEnabled = 1;
    record.playSound = 0;     // an alarm saved without its sound stays so
    record.idleIfOffline = 2; // not 1: the box stays clear
    record.continuousAlarm = 1;
    record.mailColumnWidths = {1500, -1, 0, 3000, 2250, 1440};
    if (settingsReadable) {
        QVERIFY(writeSettingsFile(settingsPath, record));
    } else {
        // A short file is read as far as it goes; a folder cannot be read.
        QVERIFY(QDir().mkdir(settingsPath));
    }
    {
        AccountListModel written;
        AccountRow row;
        row.key = {1, QStringLiteral("secret")};
        row.displayName = QStringLiteral("Amy");
        row.userName = QStringLiteral("amy");
        row.serverName = QStringLiteral("pop.example.org");
        row.port = QStringLiteral("110");
        written.appendAccountRow(row);
        written.setUsersFilePath(usersPath);
        ScriptedPrompter quiet;
        QVERIFY(saveUsersFile(written, QString(), 0, quiet));
    }

    CheckWindowRig rig;
    rig.wiring.loadWindowData(settingsPath, usersPath);

    QCOMPARE(rig.accounts().rowCount(), 1);
    QCOMPARE(rig.accounts().rowAt(0).key, (AccountKey{1, QStringLiteral("secret")}));
    if (!settingsReadable) {
        QCOMPARE(rig.prompter.texts(), QStringList{"An Error Occurred Loading App Data"});
        QCOMPARE(rig.prompter.messageKinds(), QList<MessageKind>{MessageKind::Error});
        return;
    }
    QVERIFY(rig.prompter.texts().isEmpty());
    QString boxes;
    for (int i = 1; i <= 11; ++i)
        boxes += rig.find<QCheckBox>(qPrintable(QStringLiteral("Check%1").arg(i)))->isChecked()
                     ? '1'
                     : '0';
    QCOMPARE(boxes, QStringLiteral("00010000010"));
    QCOMPARE(rig.settings.playSound, false);
    QCOMPARE(rig.settings.idleIfOffline, false);
    // An odd stored value the run never touched goes back as it came.
    QCOMPARE(rig.settings.toRecord().idleIfOffline, qint16(2));
    QCOMPARE(rig.find<QLineEdit>("Text9")->text(), QStringLiteral("5"));
    QCOMPARE(rig.settings.serverTimeout.count(), 5000.0);
    QCOMPARE(rig.find<QLineEdit>("Text6")->text(), QStringLiteral("30"));
    QCOMPARE(rig.window.mailListView()->columnWidth(0), 100);
    QCOMPARE(rig.window.mailListView()->columnWidth(1), 96); // default 1440
    QCOMPARE(rig.window.mailListView()->columnWidth(2), 0);
    QCOMPARE(rig.window.mailListView()->pictureSet(), 2);
    QCOMPARE(rig.mails().checkBoxesShown(), true);
    QCOMPARE(rig.settings.firstRunMarker, true);
    QCOMPARE(rig.settings.toRecord().firstRunMarker, 1);
    QCOMPARE(rig.window.currentTab(),
             firstRunMarker == 0 ? int(MainWindow::AccountsTab) : int(MainWindow::MailTab));
    // Stored twips at 15 per pixel; the first run is placed in the work area.
    const QRect stored(20, 30, 600, 400);
    QCOMPARE(rig.window.frameGeometry() == stored, firstRunMarker == 1);
}

void TestCheckWindow::autoCheckOnFirstActivation()
{
    // The window opens on the account page and checks at once; the tab stays.
    CheckWindowRig rig;
    rig.settings.autoCheckOnOpen = 1;
    rig.settings.dateStyle = DateStyle::RegionalLong;
    rig.window.selectTab(MainWindow::AccountsTab);
    QSignalSpy ended(&rig.runs(), &RunCoordinator::runEnded);
    rig.window.handleFirstActivation();
    QCOMPARE(rig.runs().state(), RunState::Reserved);
    QCOMPARE(rig.controlState(), QStringLiteral("cancel tab3"));
    QCOMPARE(rig.find<QComboBox>("ImageCombo1")->currentIndex(), 2);
    QVERIFY(ended.wait(5000));
    QCOMPARE(rig.prompter.texts(), QStringList{"Process Halted: No Usernames Are Configured."});
    QCOMPARE(rig.controlState(), QStringLiteral("check tabs tab3"));
}

void TestCheckWindow::deleteButtonAsksFirst()
{
    // Answering No gives every control back; nothing is sent anywhere.
    CheckWindowRig rig;
    rig.settings.deleteEnabled = 1;
    rig.window.setDeleteEnabled(true);
    rig.window.showMailCheckBoxes(true);
    rig.mails().appendItem(mailRow("amy", "110", MailImage::New, "a"));
    checkRow(rig.mails(), 1);
    rig.window.selectTab(MainWindow::MailTab);
    QCOMPARE(rig.controlState(), QStringLiteral("check seen delete tabs tab1"));
    rig.prompter.queueYesNo(false);
    QTest::mouseClick(rig.button("Command5"), Qt::LeftButton);
    QCOMPARE(rig.prompter.texts(),
             QStringList{"Confirm: Permanently Delete All Mail Items w/CheckBox Ckecked From The "
                         "Server?"});
    QCOMPARE(rig.controlState(), QStringLiteral("check seen delete tabs tab1"));
    QVERIFY(!rig.runs().isBusy());
    QCOMPARE(rig.mails().itemCount(), 1);
}

QTEST_MAIN(TestCheckWindow)
#include "test_check_window.moc"
