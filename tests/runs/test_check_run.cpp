// The check run's steps: guards and halts, the account range, the
// connectivity test and dial-up question, new/seen over successive runs,
// the summary, and a run over many accounts.
#include "model/list_rows.h"
#include "run_rig.h"
#include "support/servers_pop3_peer.h"

#include <QTcpServer>
#include <QTest>

namespace {

const QString closedLine = QStringLiteral("...User Connection Closed - Wait...");

Pop3Script mailbox(const QByteArray& user, const QByteArray& password,
                   const QList<QByteArray>& replies)
{
    Pop3Script s;
    s.send(Pop3Reply::greeting())
        .expect("USER " + user)
        .send(Pop3Reply::ok())
        .expect("PASS " + password)
        .send(Pop3Reply::ok())
        .expect("STAT")
        .send(Pop3Reply::stat(int(replies.size())));
    for (int i = 0; i < replies.size(); ++i)
        s.expect(QStringLiteral("TOP %1 2").arg(i + 1)).send(replies[i]);
    return s.expect("QUIT").send(Pop3Reply::ok()).expectClientClose();
}

QByteArray mail(const QByteArray& subject)
{
    return Pop3Reply::top(
        Pop3Reply::headers("ann@x.org", subject, "Tue, 4 Jun 2024 08:00:00 +0000"));
}

QString closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return QString::number(probe.serverPort());
}

class FakeTicks : public TickSource
{
public:
    std::uint32_t now = 0;
    std::uint32_t tickCount() const override { return now; }
};

} // namespace

class TestCheckRun : public QObject
{
    Q_OBJECT
private slots:
    void haltsWithoutAccounts();
    void haltsWhileOpeningAccount_data();
    void haltsWhileOpeningAccount();
    void checkSelectedOnly();
    void noRowChecked();
    void connectivity_data();
    void connectivity();
    void newAndSeenOverRuns();
    void closingShowsNoMessageBox();
    void watchdogTickArithmetic();
    void fiveHundredAccountsKeepTheStackFlat();
};

void TestCheckRun::haltsWithoutAccounts()
{
    RunRig rig;
    rig.runs->log().append("earlier line");
    rig.mails.appendItem(MailItem::noMailRow("A", "a"));
    QVERIFY(rig.run());
    // The log is not reset and the mail list is untouched.
    const QString message = QStringLiteral("No Usernames Are Configured.");
    QCOMPARE(rig.runs->log().text(),
             QStringLiteral("\r\nearlier line\r\n..Process Halted: ") + message);
    QCOMPARE(rig.mails.itemCount(), 1);
    QCOMPARE(rig.prompter.texts(), QStringList{"Process Halted: " + message});
    QCOMPARE(rig.prompter.messageKinds(), QList<MessageKind>{MessageKind::Warning});
    QVERIFY(!rig.runs->isBusy());
    QCOMPARE(rig.connectivity.tests, 0);
}

void TestCheckRun::haltsWhileOpeningAccount_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty password") << ""
                                    << "110"
                                    << "Password From Usernames List Not Good For User: bob";
    QTest::newRow("port that is no number") << "pw"
                                            << "pop3"
                                            << "Unknown Error";
}

void TestCheckRun::haltsWhileOpeningAccount()
{
    QFETCH(QString, password);
    QFETCH(QString, port);
    QFETCH(QString, message);
    RunRig rig;
    rig.mails.appendItem(MailItem::noMailRow("A", "a"));
    AccountRow row;
    row.key = {1, password};
    row.displayName = "Bob";
    row.userName = "bob";
    row.serverName = "127.0.0.1";
    row.port = port;
    rig.accounts.appendAccountRow(row);
    rig.addAccount("eve", "pw", "127.0.0.1", closedPort()); // later accounts are not visited
    QVERIFY(rig.run());
    QCOMPARE(rig.logLines(), QStringList({"..Beginning Process To Check For Mail",
                                          "..Process Halted: " + message}));
    QCOMPARE(rig.prompter.texts(), QStringList{"Process Halted: " + message});
    QCOMPARE(rig.mails.itemCount(), 0); // cleared at the start
    QVERIFY(rig.runs->state() != RunState::Checking);
    QVERIFY(rig.runs->session().password.isEmpty());
}

void TestCheckRun::checkSelectedOnly()
{
    ScriptedPop3Peer peer;
    peer.addScript(mailbox("u2", "p2", {}));
    peer.addScript(mailbox("u4", "p4", {mail("four")}));
    QVERIFY(peer.listen());
    RunRig rig;
    rig.settings.checkSelectedOnly = 1;
    for (int i = 1; i <= 5; ++i)
        rig.addAccount(QStringLiteral("u%1").arg(i), QStringLiteral("p%1").arg(i), peer.port());
    QCOMPARE(checkRow(rig.accounts, 2), true);
    QCOMPARE(checkRow(rig.accounts, 4), true);
    QVERIFY(rig.run());
    QVERIFY_PEER_DONE(peer, 5000);
    QCOMPARE(
        rig.logLines().first(),
        QStringLiteral("..Beginning Process To Check For Mail (Check-Selected Usernames, Only)"));
    QCOMPARE(peer.commands().filter(QRegularExpression("^USER ")),
             QStringList({"USER u2", "USER u4"}));
    QCOMPARE(rig.rows().size(), 2);
    QVERIFY(rig.rows().at(1).endsWith("|2|K2Pp4")); // position counts the "(no mail)" row
    QCOMPARE(rig.logLines().last(),
             QStringLiteral("..Check Complete: 1 New Mail Item -Total Items: 1"));
}

void TestCheckRun::noRowChecked()
{
    RunRig rig;
    rig.settings.checkSelectedOnly = 1;
    rig.addAccount("bob", "pw", "127.0.0.1", "110");
    rig.mails.appendItem(MailItem::noMailRow("A", "a"));
    QVERIFY(rig.run());
    const QString message = "No Usernames Have CheckBox Checked or Error Reading List";
    QCOMPARE(rig.logLines().last(), "..Process Halted: " + message);
    QCOMPARE(rig.logLines().size(), 2); // the log was reset first
    QCOMPARE(rig.mails.itemCount(), 0);
}

void TestCheckRun::connectivity_data()
{
    QTest::addColumn<bool>("onlineAtConnect");
    QTest::addColumn<bool>("byModem");
    QTest::addColumn<int>("answer"); // -1: no question expected, 0 No, 1 Yes
    QTest::addColumn<bool>("onlineBetween");
    QTest::addColumn<int>("dialUps");
    QTest::newRow("on line") << true << false << -1 << true << 0;
    QTest::newRow("off line, dial-up declined") << false << false << 0 << true << 0;
    QTest::newRow("off line, dial-up accepted") << false << false << 1 << true << 1;
    QTest::newRow("off line by modem: no question") << false << true << -1 << true << 1;
    QTest::newRow("lost between accounts") << true << false << -1 << false << 0;
}

void TestCheckRun::connectivity()
{
    QFETCH(bool, onlineAtConnect);
    QFETCH(bool, byModem);
    QFETCH(int, answer);
    QFETCH(bool, onlineBetween);
    QFETCH(int, dialUps);
    ScriptedPop3Peer peer;
    peer.addScript(mailbox("bob", "pw", {}));
    peer.addScript(mailbox("eve", "pw2", {}));
    QVERIFY(peer.listen());
    RunRig rig;
    rig.addAccount("bob", "pw", peer.port());
    rig.addAccount("eve", "pw2", peer.port());
    rig.connectivity.answers.enqueue({onlineAtConnect, byModem});
    rig.connectivity.answers.enqueue({onlineBetween, false});
    if (answer >= 0)
        rig.prompter.queueYesNo(answer == 1);
    QVERIFY(rig.run());

    QCOMPARE(rig.connectivity.dialUps, dialUps);
    if (answer >= 0) {
        QCOMPARE(rig.prompter.shown().first().kind, ScriptedPrompter::Shown::Question);
        QCOMPARE(rig.prompter.shown().first().title, QStringLiteral("Quorvamel"));
        QCOMPARE(rig.prompter.texts().first(),
                 QStringLiteral("You Are NOT CONNECTED To The Internet\nDo You Want A Dial-Up "
                                "Connection Window?"));
    }
    // The connect is tried whatever the dial-up did.
    QVERIFY(rig.logLines().contains("..Connected-ServerIP: 127.0.0.1"));
    if (onlineBetween) {
        QVERIFY_PEER_DONE(peer, 5000);
        QCOMPARE(rig.logLines().last(),
                 QStringLiteral("..Check Complete: No New Mail Items -Total Items: 0"));
    } else {
        QCOMPARE(rig.logLines().last(),
                 QStringLiteral("..Process Halted: Not Connected To The Internet"));
        QCOMPARE(peer.connectionCount(), 1);
        QCOMPARE(rig.prompter.texts().last(),
                 QStringLiteral("Process Halted: Not Connected To The Internet"));
    }
}

void TestCheckRun::newAndSeenOverRuns()
{
    ScriptedPop3Peer peer;
    for (int run = 0; run < 3; ++run) {
        peer.addScript(mailbox("ann", "pa", {}));
        peer.addScript(mailbox("bob", "pb", {mail("one"), mail("two")}));
    }
    QVERIFY(peer.listen());
    RunRig rig;
    rig.addAccount("ann", "pa", peer.port());
    rig.addAccount("bob", "pb", peer.port());
    const auto images = [&] {
        QList<int> out;
        for (int i = 0; i < rig.mails.itemCount(); ++i)
            out.append(int(rig.mails.item(i).image));
        return out;
    };

    QVERIFY(rig.run());
    QCOMPARE(rig.logLines().last(), "..Check Complete: 2 New Mail Items -Total Items: 2");
    QCOMPARE(images(), QList<int>({1, 2, 2}));
    QCOMPARE(rig.mails.item(1).key, (AccountKey{2, "pb"}));
    QCOMPARE(rig.mails.item(2).key, (AccountKey{3, "pb"}));

    // Not marked seen: new again.
    QVERIFY(rig.run());
    QCOMPARE(rig.logLines().last(), "..Check Complete: 2 New Mail Items -Total Items: 2");
    QCOMPARE(rig.runs->checkRun().newMailCount(), 2);

    // Marked seen: known.
    rig.mails.setImage(1, MailImage::Seen);
    rig.mails.setImage(2, MailImage::Seen);
    QVERIFY(rig.run());
    QVERIFY_PEER_DONE(peer, 5000);
    QCOMPARE(rig.logLines().last(), "..Check Complete: No New Mail Items -Total Items: 2");
    QCOMPARE(images(), QList<int>({1, 1, 1}));
    QVERIFY(
        rig.runs->log().status().endsWith("..Check Complete: No New Mail Items -Total Items: 2"));
    QVERIFY(!rig.runs->log().status().startsWith(".."));
}

void TestCheckRun::closingShowsNoMessageBox()
{
    // The window waits to close: the run is canceled and ends without a box.
    RunRig rig;
    rig.addAccount("bob", "pw", "127.0.0.1", "110");
    rig.runs->reserve();
    rig.runs->beginClosing();
    QVERIFY(rig.run());
    QCOMPARE(rig.logLines().last(), QStringLiteral("..Process Halted: Operation Canceled"));
    QVERIFY(rig.prompter.shown().isEmpty());
}

void TestCheckRun::watchdogTickArithmetic()
{
    // The tick counter crosses 2^31 (negative as a signed 32-bit count)
    // during the silence: the measurement restarts instead of closing.
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script().send(Pop3Reply::greeting()).expect("USER bob").silence());
    QVERIFY(peer.listen());
    RunRig rig;
    FakeTicks ticks;
    rig.runs.reset(new RunCoordinator(rig.settings, rig.accounts, rig.mails, rig.prompter,
                                      rig.connectivity, ticks));
    rig.runs->sessionDriver().waits().closeMs = 5;
    rig.runs->sessionDriver().waits().reconnectPauseMs = 5;
    rig.runs->sessionDriver().watchdogTimer().setInterval(3600 * 1000); // ticks only by hand
    rig.settings.serverTimeout = std::chrono::seconds(5);
    rig.addAccount("bob", "pw", peer.port());
    ticks.now = 0x7FFFF000u;
    QSignalSpy ended(rig.runs.get(), &RunCoordinator::runEnded);
    rig.runs->startCheck();
    QTRY_COMPARE(peer.commands(), QStringList({"CAPA", "USER bob"}));
    QCOMPARE(rig.runs->session().lastArrivalTick, qint64(0x7FFFF000));

    ticks.now = 0x80000100u; // wrapped: elapsed is negative
    rig.runs->watchdogTick();
    QCOMPARE(rig.runs->session().lastArrivalTick, qint64(qint32(0x80000100u)));
    QVERIFY(!rig.logLines().contains(closedLine));

    ticks.now += 5000; // not more than the time-out
    rig.runs->watchdogTick();
    QVERIFY(!rig.logLines().contains(closedLine));

    ticks.now += 1; // now more
    rig.runs->watchdogTick();
    QVERIFY(rig.logLines().contains(closedLine));
    QVERIFY(ended.wait(5000));
    QCOMPARE(rig.logLines().last(), "..Check Complete: No New Mail Items -Total Items: 0");
}

void TestCheckRun::fiveHundredAccountsKeepTheStackFlat()
{
    RunRig rig(1);
    const QString port = closedPort();
    for (int i = 0; i < 500; ++i)
        rig.addAccount(QStringLiteral("u%1").arg(i), "pw", "127.0.0.1", port);
    QList<quintptr> depths;
    QObject::connect(&rig.runs->log(), &RunLog::appended, rig.runs.get(), [&](const QString& text) {
        if (text == QLatin1String("..Not Connected")) {
            volatile char marker = 0;
            depths.append(quintptr(&marker));
        }
    });
    QVERIFY(rig.run(110000));
    QCOMPARE(depths.size(), 500);
    const auto [low, high] = std::minmax_element(depths.begin(), depths.end());
    QVERIFY2(*high - *low < 4096, qPrintable(QString::number(*high - *low)));
    QCOMPARE(rig.logLines().last(), "..Check Complete: No New Mail Items -Total Items: 0");
}

QTEST_GUILESS_MAIN(TestCheckRun)
#include "test_check_run.moc"
