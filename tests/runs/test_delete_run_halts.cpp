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
    EngineRig rig;
    prepare(rig);
    rig.settings.DeleteEnabled = deleteEnabled ? 1 : 0;
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
    rig.engine->AppendLog("earlier line");
    for (int i = 0; i < answers; ++i)
        rig.prompter.queueYesNo(false);

    QSignalSpy busy(rig.engine.get(), &Engine::controlsBusy);
    QSignalSpy restored(rig.engine.get(), &Engine::controlsRestored);
    QSignalSpy ended(rig.engine.get(), &Engine::runEnded);
    QVERIFY(!rig.engine->startDeleteFromUser());

    QCOMPARE(rig.prompter.texts(), shown);
    QCOMPARE(rig.prompter.pendingAnswers(), 0);
    QCOMPARE(busy.size(), 1);
    QCOMPARE(restored.size(), 1);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(rig.engine->ProcessBusy(), qint16(0));
    QCOMPARE(rig.engine->DeleteRunActive(), 0);
    QCOMPARE(rig.engine->logText(), QStringLiteral("\r\nearlier line"));
    QCOMPARE(listed(rig), before);
    QCOMPARE(rig.connectivity.tests, 0); // no connection was tried
}

void TestDeleteRunHalts::clickRefusedWhileBusy_data()
{
    QTest::addColumn<int>("processBusy");
    QTest::addColumn<int>("deleteRunActive");
    QTest::newRow("a user-started process is busy") << 1 << 0;
    QTest::newRow("the window waits to close") << 2 << 0;
    QTest::newRow("a delete run is active") << 0 << 1;
}

void TestDeleteRunHalts::clickRefusedWhileBusy()
{
    QFETCH(int, processBusy);
    QFETCH(int, deleteRunActive);
    EngineRig rig;
    prepare(rig);
    addRow(rig, "ann", "pw1", 110, "Alpha", true);
    rig.engine->setProcessBusy(qint16(processBusy));
    rig.engine->setDeleteRunActive(deleteRunActive);
    rig.prompter.queueYesNo(true);
    QSignalSpy busy(rig.engine.get(), &Engine::controlsBusy);
    QSignalSpy restored(rig.engine.get(), &Engine::controlsRestored);

    QVERIFY(!rig.engine->startDeleteFromUser());
    QVERIFY(rig.prompter.shown().isEmpty());
    QVERIFY(busy.isEmpty());
    QVERIFY(restored.isEmpty());
    QCOMPARE(rig.engine->ProcessBusy(), qint16(processBusy));
    QCOMPARE(rig.connectivity.tests, 0);
}

void TestDeleteRunHalts::haltsOfTheRun_data()
{
    QTest::addColumn<bool>("withRows");
    QTest::addColumn<bool>("cancelFirst");
    QTest::addColumn<bool>("deleteOffMidRun");
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
    // Switched off under a run: the run still ends and gives the controls back.
    QTest::newRow("delete functions off mid-run")
        << true << false << true << false << "Unknown Error" << 2;
}

void TestDeleteRunHalts::haltsOfTheRun()
{
    // DeleteRun called on its own (the click checks most of these first).
    QFETCH(bool, withRows);
    QFETCH(bool, cancelFirst);
    QFETCH(bool, deleteOffMidRun);
    QFETCH(bool, logReset);
    QFETCH(QString, message);
    QFETCH(int, rowsLeft);
    EngineRig rig;
    prepare(rig);
    if (withRows) {
        addRow(rig, "ann", "pw1", 110, "Alpha", false);
        addRow(rig, "ann", "pw1", 110, "Beta", false);
    }
    if (cancelFirst)
        rig.engine->requestCancel();
    if (deleteOffMidRun) {
        rig.engine->setDeleteRunActive(1);
        rig.settings.DeleteEnabled = 0;
    }
    rig.engine->setProcessBusy(1);
    rig.engine->AppendLog("earlier line");
    QSignalSpy restored(rig.engine.get(), &Engine::controlsRestored);
    QSignalSpy halted(rig.engine.get(), &Engine::deleteRunHalted);
    QSignalSpy ended(rig.engine.get(), &Engine::runEnded);

    rig.engine->DeleteRun();

    QCOMPARE(rig.engine->logText().startsWith("\r\nearlier line"), !logReset);
    QCOMPARE(rig.logLines().last(), "..Process Halted: " + message);
    QVERIFY(rig.engine->statusText().endsWith("..Process Halted: " + message));
    QCOMPARE(rig.prompter.texts(), QStringList{"Process Halted: " + message});
    QCOMPARE(halted.size(), 1);
    QCOMPARE(halted.first().first().toString(), message);
    QCOMPARE(restored.size(), 1);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(rig.engine->ProcessBusy(), qint16(0));
    QCOMPARE(rig.engine->DeleteRunActive(), 0);
    QCOMPARE(rig.engine->CancelRequested(), qint16(0));
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
    EngineRig rig;
    QSignalSpy ended(rig.engine.get(), &Engine::runEnded);
    QVERIFY(startWhileFirstHeaderComes(rig, peer));
    rig.engine->requestCancel();
    QVERIFY(ended.wait(10000));
    QVERIFY_PEER_DONE(peer, 5000);

    QCOMPARE(peer.commands(),
             QStringList({"CAPA", "USER ann", "PASS pw1", "STAT", "TOP 1 2", "QUIT"}));
    QCOMPARE(rig.mails.itemCount(), 0);
    QCOMPARE(rig.logLines().last(), QStringLiteral("..Process Halted: Operation Canceled"));
    QCOMPARE(rig.prompter.texts(),
             QStringList({confirm, QStringLiteral("Process Halted: Operation Canceled")}));
    QCOMPARE(rig.engine->DeleteRunActive(), 0);
    QCOMPARE(rig.engine->CancelRequested(), qint16(0));
    QCOMPARE(rig.engine->ProcessBusy(), qint16(0));
}

void TestDeleteRunHalts::lostConnectionBetweenAccounts()
{
    // The first account deletes its message, then the machine goes off
    // line: the run halts before the second account, and the row whose
    // message is gone keeps its "D" marker in the list.
    ScriptedPop3Peer peer;
    peer.addScript(session("ann", "pwA", {"Alpha"}, {"TOP 1 2", "DELE 1", "QUIT"}));
    QVERIFY(peer.listen());
    EngineRig rig;
    prepare(rig);
    addRow(rig, "ann", "pwA", peer.port(), "Alpha", true);
    addRow(rig, "bob", "pwB", peer.port(), "Beta", true);
    rig.connectivity.answers.enqueue({true, 0});  // the connect
    rig.connectivity.answers.enqueue({false, 0}); // the continuation

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
    EngineRig rig;
    prepare(rig);
    rig.engine->setClosing(1);
    rig.engine->DeleteRun();
    QCOMPARE(rig.logLines().last(),
             QStringLiteral("..Process Halted: ..There Are No Mail Items On The List."));
    QVERIFY(rig.prompter.shown().isEmpty());
}

void TestDeleteRunHalts::refusedWhileCheckRunLeavesItAlone()
{
    // A delete run asked for while a check run waits on its server is
    // refused; the check run's session, controls and busy flag stay its own.
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script().send(Pop3Reply::greeting()).expect("USER bob").silence());
    QVERIFY(peer.listen());
    EngineRig rig;
    prepare(rig);
    rig.addAccount("bob", "pw", peer.port());
    rig.engine->startCheck();
    QVERIFY(QTest::qWaitFor([&] { return peer.commands().contains("USER bob"); }, 5000));
    addRow(rig, "ann", "pw1", 110, "Alpha", true);

    QSignalSpy restored(rig.engine.get(), &Engine::controlsRestored);
    QSignalSpy ended(rig.engine.get(), &Engine::runEnded);
    rig.engine->DeleteRun();
    const QString message = QStringLiteral("Error..A -Check Mail- Process Is Still Running");
    QCOMPARE(rig.logLines().last(), "..Process Halted: " + message);
    QCOMPARE(rig.prompter.texts(), QStringList{"Process Halted: " + message});
    QCOMPARE(rig.engine->DeleteRunActive(), 0);
    QCOMPARE(rig.engine->CheckRunActive(), 1);
    QCOMPARE(rig.engine->ProcessBusy(), qint16(1));
    QCOMPARE(rig.engine->session().userName, QStringLiteral("bob"));
    QVERIFY(restored.isEmpty());
    QVERIFY(ended.isEmpty());

    // The check run still ends by itself.
    rig.engine->requestCancel();
    rig.engine->watchdogTick();
    QVERIFY(!ended.isEmpty() || ended.wait(10000));
    QCOMPARE(rig.logLines().last(), QStringLiteral("..Process Halted: Operation Canceled"));
}

QTEST_GUILESS_MAIN(TestDeleteRunHalts)
#include "test_delete_run_halts.moc"
