// The click on Command5 and the ways a delete run stops early: refusals,
// its messages, Cancel, a lost connection between accounts, and the
// controls and flags every ending gives back.
#include "delete_rig.h"

using namespace deleterig;

namespace {

const QString confirm = QStringLiteral(
    "Confirm: Permanently Delete All Mail Items w/CheckBox Ckecked From The Server?");

} // namespace

class TestDeleteRunHalts : public QObject
{
    Q_OBJECT
private slots:
    void clickThatStartsNothing_data();
    void clickThatStartsNothing();
    void clickRefusedWhileBusy_data();
    void clickRefusedWhileBusy();
    void haltsOfTheRun_data();
    void haltsOfTheRun();
    void cancelDuringSession();
    void lostConnectionBetweenAccounts();
    void closingShowsNoMessageBox();
    void refusedWhileCheckRunLeavesItAlone();
    void checkRefusedWhileDeleteRunLeavesItAlone();
};

void TestDeleteRunHalts::clickThatStartsNothing_data()
{
    // rows: subject, "+" marked, "(no mail)" a no-mail row.
    QTest::addColumn<bool>("deleteEnabled");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("answers");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("delete functions off") << false << QStringList{"Alpha+"} << 0 << QStringList();
    QTest::newRow("empty list") << true << QStringList() << 0
                                << QStringList{"There Are No Mail Items On The List"};
    const QStringList noneMarked{
        "No Mail Items On The List Have Their CheckBoxes Checked To Mark For Deletion"};
    QTest::newRow("no row marked") << true << QStringList{"Alpha", "Beta"} << 0 << noneMarked;
    QTest::newRow("only a (no mail) row marked")
        << true << QStringList{"(no mail)+", "Beta"} << 0 << noneMarked;
    QTest::newRow("answered No") << true << QStringList{"Alpha", "Beta+"} << 1
                                 << QStringList{confirm};
}

void TestDeleteRunHalts::clickThatStartsNothing()
{
    QFETCH(bool, deleteEnabled);
    QFETCH(QStringList, rows);
    QFETCH(int, answers);
    QFETCH(QStringList, shown);
    RunRig rig;
    prepare(rig);
    rig.settings.deleteEnabled = deleteEnabled ? 1 : 0;
    for (QString row : rows) {
        const bool marked = row.endsWith('+');
        if (marked)
            row.chop(1);
        if (row == QLatin1String("(no mail)")) {
            rig.mails.appendItem(MailItem::noMailRow("Name ann", "ann"));
            if (marked)
                checkRow(rig.mails, rig.mails.itemCount());
        } else {
            addRow(rig, "ann", "pw1", 110, row, marked);
        }
    }
    const QStringList before = listed(rig);
    rig.runs->log().append("earlier line");
    for (int i = 0; i < answers; ++i)
        rig.prompter.queueYesNo(false);

    QSignalSpy busy(rig.runs.get(), &RunCoordinator::controlsBusy);
    QSignalSpy restored(rig.runs.get(), &RunCoordinator::controlsRestored);
    QSignalSpy ended(rig.runs.get(), &RunCoordinator::runEnded);
    QVERIFY(!rig.runs->startDeleteFromUser());

    QCOMPARE(rig.prompter.texts(), shown);
    QCOMPARE(rig.prompter.pendingAnswers(), 0);
    QCOMPARE(busy.size(), 1);
    QCOMPARE(restored.size(), 1);
    QCOMPARE(ended.size(), 1);
    QVERIFY(!rig.runs->isBusy());
    QVERIFY(rig.runs->state() != RunState::Deleting);
    QCOMPARE(rig.runs->log().text(), QStringLiteral("\r\nearlier line"));
    QCOMPARE(listed(rig), before);
    QCOMPARE(rig.connectivity.tests, 0); // no connection was tried
}

void TestDeleteRunHalts::clickRefusedWhileBusy_data()
{
    QTest::addColumn<RunState>("held");
    QTest::addColumn<bool>("closing");
    QTest::newRow("a user-started process is busy") << RunState::Reserved << false;
    QTest::newRow("the window waits to close") << RunState::Reserved << true;
    QTest::newRow("a delete run is active") << RunState::Deleting << false;
}

void TestDeleteRunHalts::clickRefusedWhileBusy()
{
    QFETCH(RunState, held);
    QFETCH(bool, closing);
    ScriptedPop3Peer peer;
    peer.addScript(slowFirstHeader("bye"));
    QVERIFY(peer.listen());
    RunRig rig;
    if (held == RunState::Deleting) {
        QVERIFY(startWhileFirstHeaderComes(rig, peer));
    } else {
        prepare(rig);
        addRow(rig, "ann", "pw1", 110, "Alpha", true);
        rig.runs->reserve();
    }
    if (closing)
        rig.runs->beginClosing();
    const QStringList shownBefore = rig.prompter.texts();
    const int testsBefore = rig.connectivity.tests;
    rig.prompter.queueYesNo(true);
    QSignalSpy busy(rig.runs.get(), &RunCoordinator::controlsBusy);
    QSignalSpy restored(rig.runs.get(), &RunCoordinator::controlsRestored);

    QVERIFY(!rig.runs->startDeleteFromUser());
    QCOMPARE(rig.prompter.texts(), shownBefore);
    QVERIFY(busy.isEmpty());
    QVERIFY(restored.isEmpty());
    QCOMPARE(rig.runs->state(), held);
    QCOMPARE(rig.connectivity.tests, testsBefore);
}

void TestDeleteRunHalts::haltsOfTheRun_data()
{
    QTest::addColumn<bool>("withRows");
    QTest::addColumn<bool>("cancelFirst");
    QTest::addColumn<bool>("deleteOff");
    QTest::addColumn<bool>("logReset");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("rowsLeft");
    QTest::newRow("empty list") << false << false << false << false
                                << "..There Are No Mail Items On The List." << 0;
    QTest::newRow("nothing marked")
        << true << false << false << true
        << "No Mail Items Have CheckBox Checked To Mark For Deletion." << 2;
    QTest::newRow("cancel pending: the list is emptied")
        << true << true << false << false << "Operation Canceled" << 0;
    // Switched off (also under a run): the run still ends and gives the
    // controls back.
    QTest::newRow("delete functions off") << true << false << true << false << "Unknown Error" << 2;
}

void TestDeleteRunHalts::haltsOfTheRun()
{
    // The run started without the click (which checks most of these first).
    QFETCH(bool, withRows);
    QFETCH(bool, cancelFirst);
    QFETCH(bool, deleteOff);
    QFETCH(bool, logReset);
    QFETCH(QString, message);
    QFETCH(int, rowsLeft);
    RunRig rig;
    prepare(rig);
    if (withRows) {
        addRow(rig, "ann", "pw1", 110, "Alpha", false);
        addRow(rig, "ann", "pw1", 110, "Beta", false);
    }
    if (cancelFirst)
        rig.runs->requestCancel();
    if (deleteOff)
        rig.settings.deleteEnabled = 0;
    rig.runs->log().append("earlier line");
    QSignalSpy restored(rig.runs.get(), &RunCoordinator::controlsRestored);
    QSignalSpy halted(rig.runs.get(), &RunCoordinator::deleteRunHalted);
    QSignalSpy ended(rig.runs.get(), &RunCoordinator::runEnded);

    rig.runs->startDelete();

    QCOMPARE(rig.runs->log().text().startsWith("\r\nearlier line"), !logReset);
    QCOMPARE(rig.logLines().last(), "..Process Halted: " + message);
    QVERIFY(rig.runs->log().status().endsWith("..Process Halted: " + message));
    QCOMPARE(rig.prompter.texts(), QStringList{"Process Halted: " + message});
    QCOMPARE(halted.size(), 1);
    QCOMPARE(halted.first().first().toString(), message);
    QCOMPARE(restored.size(), 1);
    QCOMPARE(ended.size(), 1);
    QVERIFY(!rig.runs->isBusy());
    QVERIFY(rig.runs->state() != RunState::Deleting);
    QVERIFY(!rig.runs->cancelRequested());
    QCOMPARE(rig.mails.itemCount(), rowsLeft);
    QCOMPARE(rig.connectivity.tests, 0);
}

void TestDeleteRunHalts::cancelDuringSession()
{
    // Cancel while a header is on its way: when it completes the list is
    // emptied and QUIT sent; the run halts with "Operation Canceled".
    ScriptedPop3Peer peer;
    peer.addScript(slowFirstHeader("bye"));
    QVERIFY(peer.listen());
    RunRig rig;
    QSignalSpy ended(rig.runs.get(), &RunCoordinator::runEnded);
    QVERIFY(startWhileFirstHeaderComes(rig, peer));
    rig.runs->requestCancel();
    QVERIFY(ended.wait(10000));
    QVERIFY_PEER_DONE(peer, 5000);

    QCOMPARE(peer.commands(),
             QStringList({"CAPA", "USER ann", "PASS pw1", "STAT", "TOP 1 2", "QUIT"}));
    QCOMPARE(rig.mails.itemCount(), 0);
    QCOMPARE(rig.logLines().last(), QStringLiteral("..Process Halted: Operation Canceled"));
    QCOMPARE(rig.prompter.texts(),
             QStringList({confirm, QStringLiteral("Process Halted: Operation Canceled")}));
    QVERIFY(rig.runs->state() != RunState::Deleting);
    QVERIFY(!rig.runs->cancelRequested());
    QVERIFY(!rig.runs->isBusy());
}

void TestDeleteRunHalts::lostConnectionBetweenAccounts()
{
    // The first account deletes its message, then the machine goes off
    // line: the run halts before the second account, and the row whose
    // message is gone keeps its "D" marker in the list.
    ScriptedPop3Peer peer;
    peer.addScript(session("ann", "pwA", {"Alpha"}, {"TOP 1 2", "DELE 1", "QUIT"}));
    QVERIFY(peer.listen());
    RunRig rig;
    prepare(rig);
    addRow(rig, "ann", "pwA", peer.port(), "Alpha", true);
    addRow(rig, "bob", "pwB", peer.port(), "Beta", true);
    rig.connectivity.answers.enqueue({true, false});  // the connect
    rig.connectivity.answers.enqueue({false, false}); // the continuation

    QVERIFY(deleteRun(rig));
    QVERIFY_PEER_DONE(peer, 5000);
    QCOMPARE(peer.connectionCount(), 1);
    QCOMPARE(rig.logLines().last(),
             QStringLiteral("..Process Halted: Not Connected To The Internet"));
    QCOMPARE(
        rig.prompter.texts(),
        QStringList({confirm, QStringLiteral("Process Halted: Not Connected To The Internet")}));
    QCOMPARE(listed(rig), QStringList({"ann|Alpha|D|1", "bob|Beta|K|1"}));
}

void TestDeleteRunHalts::closingShowsNoMessageBox()
{
    RunRig rig;
    prepare(rig);
    // The window waits to close: the run is canceled and ends without a box.
    addRow(rig, "ann", "pw1", 110, "Alpha", true);
    rig.runs->reserve();
    rig.runs->beginClosing();
    rig.runs->startDelete();
    QCOMPARE(rig.logLines().last(), QStringLiteral("..Process Halted: Operation Canceled"));
    QVERIFY(!rig.runs->isBusy());
    QVERIFY(rig.prompter.shown().isEmpty());
}

void TestDeleteRunHalts::refusedWhileCheckRunLeavesItAlone()
{
    // A delete run asked for while a check run waits on its server is
    // refused; the check run's session, controls and process stay its own.
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script().send(Pop3Reply::greeting()).expect("USER bob").silence());
    QVERIFY(peer.listen());
    RunRig rig;
    prepare(rig);
    rig.addAccount("bob", "pw", peer.port());
    rig.runs->startCheck();
    QVERIFY(QTest::qWaitFor([&] { return peer.commands().contains("USER bob"); }, 5000));
    addRow(rig, "ann", "pw1", 110, "Alpha", true);

    QSignalSpy restored(rig.runs.get(), &RunCoordinator::controlsRestored);
    QSignalSpy ended(rig.runs.get(), &RunCoordinator::runEnded);
    rig.runs->startDelete();
    const QString message = QStringLiteral("Error..A -Check Mail- Process Is Still Running");
    QCOMPARE(rig.logLines().last(), "..Process Halted: " + message);
    QCOMPARE(rig.prompter.texts(), QStringList{"Process Halted: " + message});
    QCOMPARE(rig.runs->state(), RunState::Checking);
    QCOMPARE(rig.runs->session().userName, QStringLiteral("bob"));
    QVERIFY(restored.isEmpty());
    QVERIFY(ended.isEmpty());

    // The check run still ends by itself.
    rig.runs->requestCancel();
    rig.runs->watchdogTick();
    QVERIFY(!ended.isEmpty() || ended.wait(10000));
    QCOMPARE(rig.logLines().last(), QStringLiteral("..Process Halted: Operation Canceled"));
}

void TestDeleteRunHalts::checkRefusedWhileDeleteRunLeavesItAlone()
{
    // A check asked for while a delete run waits for a header is refused;
    // the delete run keeps its session, controls and process, and ends by
    // itself.
    ScriptedPop3Peer peer;
    peer.addScript(slowFirstHeader("bye"));
    QVERIFY(peer.listen());
    RunRig rig;
    rig.addAccount("bob", "pw", 110);
    QVERIFY(startWhileFirstHeaderComes(rig, peer));
    QSignalSpy restored(rig.runs.get(), &RunCoordinator::controlsRestored);
    QSignalSpy ended(rig.runs.get(), &RunCoordinator::runEnded);

    rig.runs->startCheck();
    const QString message = QStringLiteral("Error..A Delete Process Is Still Running");
    QCOMPARE(rig.logLines().last(), "..Process Halted: " + message);
    QCOMPARE(rig.prompter.texts(), QStringList({confirm, "Process Halted: " + message}));
    QCOMPARE(rig.runs->state(), RunState::Deleting);
    QCOMPARE(rig.runs->session().userName, QStringLiteral("ann"));
    QVERIFY(restored.isEmpty());
    QVERIFY(ended.isEmpty());
    QCOMPARE(rig.mails.itemCount(), 2);

    rig.runs->requestCancel();
    QVERIFY(ended.wait(10000));
    QVERIFY_PEER_DONE(peer, 5000);
    QCOMPARE(rig.logLines().last(), QStringLiteral("..Process Halted: Operation Canceled"));
    QVERIFY(!rig.runs->isBusy());
}

QTEST_GUILESS_MAIN(TestDeleteRunHalts)
#include "test_delete_run_halts.moc"
