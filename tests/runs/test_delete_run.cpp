// Delete runs against the scripted peer: which messages get DELE, when the
// session quits, what the list keeps, and runs over several accounts.
#include "delete_rig.h"

Q_DECLARE_METATYPE(Pop3Script)

using namespace deleterig;

class TestDeleteRun : public QObject
{
    Q_OBJECT
private slots:
    void oneAccount_data();
    void oneAccount();
    void logOfOneDeletion();
    void accountsInPlanOrder();
    void refusedLogOnMovesOn();
    void inconsistentBlockAbortsAccount();
    void sessionEndsBeforeQuitIsAcknowledged_data();
    void sessionEndsBeforeQuitIsAcknowledged();
};

void TestDeleteRun::oneAccount_data()
{
    // rows: subject and "+" when marked; messages: subjects on the server in
    // order; commands: everything the client sends after STAT.
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("errorOn");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QString>("summary");

    QTest::newRow("one marked row: QUIT once it is matched, the later twin stays")
        << QStringList{"Alpha", "Beta+", "Beta"} << QStringList{"Alpha", "Beta", "Beta"}
        << QStringList{"TOP 1 2", "TOP 2 2", "DELE 2", "QUIT"} << QString()
        << QStringList{"ann|Alpha|K|0", "ann|Beta|K|0"} << "Deleted 1 Mail Item";
    QTest::newRow("unmarked row between marked rows is never matched")
        << QStringList{"Alpha+", "Beta", "Gamma+"} << QStringList{"Alpha", "Beta", "Gamma"}
        << QStringList{"TOP 1 2", "DELE 1", "TOP 2 2", "TOP 3 2", "DELE 3", "QUIT"} << QString()
        << QStringList{"ann|Beta|K|0"} << "Deleted 2 Mail Items";
    QTest::newRow("two identical marked rows, two identical messages")
        << QStringList{"Twin+", "Twin+"} << QStringList{"Twin", "Twin"}
        << QStringList{"TOP 1 2", "DELE 1", "TOP 2 2", "DELE 2", "QUIT"} << QString()
        << QStringList{"ann|(no mail)||0"} << "Deleted 2 Mail Items";
    QTest::newRow("a marked row deletes one message, its unmarked twin stays")
        << QStringList{"Twin+", "Twin", "Other+"} << QStringList{"Twin", "Twin", "Other"}
        << QStringList{"TOP 1 2", "DELE 1", "TOP 2 2", "TOP 3 2", "DELE 3", "QUIT"} << QString()
        << QStringList{"ann|Twin|K|0"} << "Deleted 2 Mail Items";
    QTest::newRow("message changed since the check is left alone")
        << QStringList{"Alpha+"} << QStringList{"Alpha (edited)"} << QStringList{"TOP 1 2", "QUIT"}
        << QString() << QStringList{"ann|Alpha|K|1"} << "Deleted 0 Mail Items";
    QTest::newRow("all messages fetched when a marked row finds none")
        << QStringList{"Alpha+", "Gone+"} << QStringList{"Alpha", "Beta"}
        << QStringList{"TOP 1 2", "DELE 1", "TOP 2 2", "QUIT"} << QString()
        << QStringList{"ann|Gone|K|1"} << "Deleted 1 Mail Item";
    QTest::newRow("-ERR to the first DELE: no QUIT, rows stay marked")
        << QStringList{"Alpha+", "Beta+"} << QStringList{"Alpha", "Beta"}
        << QStringList{"TOP 1 2", "DELE 1"} << "DELE 1"
        << QStringList{"ann|Alpha|K|1", "ann|Beta|K|1"} << "Deleted 0 Mail Items";
    // Without QUIT the server deletes nothing: the accepted DELE too is void.
    QTest::newRow("-ERR to a later DELE: no QUIT, both rows stay marked")
        << QStringList{"Alpha+", "Beta+"} << QStringList{"Alpha", "Beta"}
        << QStringList{"TOP 1 2", "DELE 1", "TOP 2 2", "DELE 2"} << "DELE 2"
        << QStringList{"ann|Alpha|K|1", "ann|Beta|K|1"} << "Deleted 0 Mail Items";
}

void TestDeleteRun::oneAccount()
{
    QFETCH(QStringList, rows);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, commands);
    QFETCH(QString, errorOn);
    QFETCH(QStringList, kept);
    QFETCH(QString, summary);

    QList<QByteArray> bytes;
    for (const QString& m : messages)
        bytes.append(m.toUtf8());
    ScriptedPop3Peer peer;
    peer.addScript(session("ann", "pw1", bytes, commands, errorOn));
    QVERIFY(peer.listen());

    RunRig rig;
    prepare(rig);
    for (QString row : rows) {
        const bool marked = row.endsWith('+');
        if (marked)
            row.chop(1);
        addRow(rig, "ann", "pw1", peer.port(), row, marked);
    }
    QVERIFY(deleteRun(rig));
    QVERIFY_PEER_DONE(peer, 5000);

    const QStringList expected = QStringList{"CAPA", "USER ann", "PASS pw1", "STAT"} + commands;
    QCOMPARE(peer.commands(), expected);
    QCOMPARE(listed(rig), kept);
    QCOMPARE(rig.logLines().last(), "..Delete Complete: " + summary);
    QVERIFY(rig.runs->log().status().endsWith("..Delete Complete: " + summary));
    if (!errorOn.isEmpty())
        QVERIFY(rig.logLines().contains("-ERR no such message"));
    QVERIFY(rig.runs->state() != RunState::Deleting);
    QVERIFY(!rig.runs->isBusy());
    // Only the confirmation was asked; a finished run shows no box.
    QCOMPARE(rig.prompter.texts(),
             QStringList{
                 "Confirm: Permanently Delete All Mail Items w/CheckBox Ckecked From The Server?"});
}

void TestDeleteRun::logOfOneDeletion()
{
    ScriptedPop3Peer peer;
    peer.addScript(session("ann", "pw1", {"Alpha"}, {"TOP 1 2", "DELE 1", "QUIT"}));
    QVERIFY(peer.listen());
    RunRig rig;
    prepare(rig);
    addRow(rig, "ann", "pw1", peer.port(), "Alpha", true);

    QSignalSpy busy(rig.runs.get(), &RunCoordinator::controlsBusy);
    QSignalSpy restored(rig.runs.get(), &RunCoordinator::controlsRestored);
    QSignalSpy states(rig.runs.get(), &RunCoordinator::stateChanged);
    QSignalSpy completed(rig.runs.get(), &RunCoordinator::deleteRunCompleted);
    QVERIFY(deleteRun(rig));
    QVERIFY_PEER_DONE(peer, 5000);

    QCOMPARE(rig.logLines(),
             QStringList({"..Beginning Process To Delete Mail", "..Connected-ServerIP: 127.0.0.1",
                          "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>", "+OK",
                          "..Checking For Delete Mail Items On Server", "+OK bye", closedLine,
                          "..Delete Complete: Deleted 1 Mail Item"}));
    QVERIFY(busy.size() >= 1);
    QCOMPARE(restored.size(), 1);
    QList<RunState> path;
    for (const QList<QVariant>& change : std::as_const(states))
        path.append(change.first().value<RunState>());
    QCOMPARE(path, QList<RunState>({RunState::Reserved, RunState::Deleting, RunState::Idle}));
    QCOMPARE(completed.size(), 1);
    QCOMPARE(completed.first().first().toInt(), 1);
    // The one row of the account became its "(no mail)" row, icon 1.
    QCOMPARE(rig.mails.itemCount(), 1);
    const MailItem& row = rig.mails.item(0);
    QCOMPARE(row.displayName, QStringLiteral("Name ann"));
    QCOMPARE(
        QStringList({row.userName, row.from, row.subject, row.dateSent, row.server, row.port,
                     keyText(row)}),
        QStringList({"ann", "(no mail)", "(no mail)", "(no mail)", "(no mail)", "(no mail)", ""}));
    QCOMPARE(row.image, MailImage::Seen);
}

void TestDeleteRun::accountsInPlanOrder()
{
    // ann: rows 1 and 3 marked, 2 not (one block); bob: his only row marked;
    // cy: nothing marked, so his server is never visited (the peer would
    // fail a connection it has no script for).
    ScriptedPop3Peer peer;
    peer.addScript(session("ann", "pwA", {"Alpha", "Beta", "Gamma"},
                           {"TOP 1 2", "DELE 1", "TOP 2 2", "TOP 3 2", "DELE 3", "QUIT"}));
    peer.addScript(session("bob", "pwB", {"Delta"}, {"TOP 1 2", "DELE 1", "QUIT"}));
    QVERIFY(peer.listen());
    RunRig rig;
    prepare(rig);
    addRow(rig, "ann", "pwA", peer.port(), "Alpha", true);
    addRow(rig, "ann", "pwA", peer.port(), "Beta", false);
    addRow(rig, "ann", "pwA", peer.port(), "Gamma", true);
    addRow(rig, "bob", "pwB", peer.port(), "Delta", true);
    addRow(rig, "cy", "pwC", peer.port(), "Eps", false);
    rig.mails.appendItem(MailItem::noMailRow("Name dee", "dee"));
    QVERIFY(checkRow(rig.mails, 6)); // a ticked "(no mail)" row plans nothing

    QVERIFY(deleteRun(rig));
    QVERIFY_PEER_DONE(peer, 5000);
    QCOMPARE(peer.connectionCount(), 2);

    const QString port = QString::number(peer.port());
    QVERIFY(rig.runs->deleteRun().plan() ==
            std::vector<DeleteBlock>({{2, "ann", "pwA", "127.0.0.1", port, 1, 3},
                                      {1, "bob", "pwB", "127.0.0.1", port, 4, 4}}));
    QCOMPARE(listed(rig),
             QStringList({"ann|Beta|K|0", "bob|(no mail)||0", "cy|Eps|K|0", "dee|(no mail)||1"}));
    QCOMPARE(rig.logLines().last(), QStringLiteral("..Delete Complete: Deleted 3 Mail Items"));
    QCOMPARE(rig.logLines().count("..Checking For Delete Mail Items On Server"), 2);
}

void TestDeleteRun::refusedLogOnMovesOn()
{
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script()
                       .send(Pop3Reply::greeting())
                       .expect("USER ann")
                       .send(Pop3Reply::ok())
                       .expect("PASS pwA")
                       .send(Pop3Reply::err("[AUTH] Authentication failed."))
                       .expectClientClose());
    peer.addScript(session("bob", "pwB", {"Delta"}, {"TOP 1 2", "DELE 1", "QUIT"}));
    QVERIFY(peer.listen());
    RunRig rig;
    prepare(rig);
    addRow(rig, "ann", "pwA", peer.port(), "Alpha", true);
    addRow(rig, "bob", "pwB", peer.port(), "Delta", true);
    addRow(rig, "bob", "pwB", peer.port(), "Kept", false);

    QVERIFY(deleteRun(rig));
    QVERIFY_PEER_DONE(peer, 5000);
    QVERIFY(rig.logLines().contains("Password Logon Error: -ERR [AUTH] Authentication failed."));
    QCOMPARE(listed(rig), QStringList({"ann|Alpha|K|1", "bob|Kept|K|0"}));
    QCOMPARE(rig.logLines().last(), QStringLiteral("..Delete Complete: Deleted 1 Mail Item"));
}

void TestDeleteRun::inconsistentBlockAbortsAccount()
{
    // The block's rows leave the list while its session runs: the account
    // is stopped with QUIT (no further TOP although a second message
    // waits), its reply is logged, and the run goes on to the end.
    ScriptedPop3Peer peer;
    peer.addScript(slowFirstHeader("stopped here"));
    QVERIFY(peer.listen());
    RunRig rig;
    QSignalSpy ended(rig.runs.get(), &RunCoordinator::runEnded);
    QVERIFY(startWhileFirstHeaderComes(rig, peer));
    // A second click meanwhile is refused without a word.
    QVERIFY(!rig.runs->startDeleteFromUser());
    QCOMPARE(rig.prompter.shown().size(), 1);
    rig.mails.removeItemAt(1);
    QVERIFY(ended.wait(10000));
    QVERIFY_PEER_DONE(peer, 5000);

    QCOMPARE(rig.runs->session().state, SessionState::DeleteAborted);
    const QStringList log = rig.logLines();
    QCOMPARE(log.mid(log.size() - 3), QStringList({"+OK stopped here", closedLine,
                                                   "..Delete Complete: Deleted 0 Mail Items"}));
    QCOMPARE(listed(rig), QStringList{"ann|Alpha|K|1"});
}

void TestDeleteRun::sessionEndsBeforeQuitIsAcknowledged_data()
{
    QTest::addColumn<Pop3Script>("script");
    const Pop3Script dele = Pop3Script(logOn("ann", "pw1", 2))
                                .expect("TOP 1 2")
                                .send(mail("Alpha"))
                                .expect("DELE 1")
                                .send(Pop3Reply::ok("message deleted"));
    QTest::newRow("server closes after an accepted DELE") << Pop3Script(dele).close();
    QTest::newRow("-ERR to QUIT") << Pop3Script(dele)
                                         .expect("TOP 2 2")
                                         .send(mail("Beta"))
                                         .expect("QUIT")
                                         .send(Pop3Reply::err("some deleted messages not removed"))
                                         .expectClientClose();
}

void TestDeleteRun::sessionEndsBeforeQuitIsAcknowledged()
{
    // The server removes messages only when it acknowledges QUIT: a row
    // whose DELE was accepted in a session that ended otherwise stays,
    // still marked, and the log says so.
    QFETCH(Pop3Script, script);
    ScriptedPop3Peer peer;
    peer.addScript(script);
    QVERIFY(peer.listen());
    RunRig rig;
    prepare(rig);
    addRow(rig, "ann", "pw1", peer.port(), "Alpha", true);
    addRow(rig, "ann", "pw1", peer.port(), "Gamma", true);
    QVERIFY(deleteRun(rig));
    QVERIFY_PEER_DONE(peer, 5000);
    QCOMPARE(listed(rig), QStringList({"ann|Alpha|K|1", "ann|Gamma|K|1"}));
    QVERIFY2(rig.logLines().contains("..Deletion Not Completed: The Server Kept 1 Mail Item"),
             qPrintable(rig.logLines().join('\n')));
    QCOMPARE(rig.logLines().last(), QStringLiteral("..Delete Complete: Deleted 0 Mail Items"));
}

QTEST_GUILESS_MAIN(TestDeleteRun)
#include "test_delete_run.moc"
