// How far a check has come, as the runs report it while headers are
// fetched: which values the throttle lets through, and the sequence a
// scripted check emits, ended once when the run ends.
#include "run_rig.h"
#include "support/servers_pop3_peer.h"

#include <QTest>

namespace {

Pop3Script mailbox(const QByteArray& user, int messages)
{
    Pop3Script s;
    s.send(Pop3Reply::greeting())
        .expect("USER " + user)
        .send(Pop3Reply::ok())
        .expect("PASS pw")
        .send(Pop3Reply::ok())
        .expect("STAT")
        .send(Pop3Reply::stat(messages));
    for (int i = 1; i <= messages; ++i) {
        s.expect(QStringLiteral("TOP %1 2").arg(i))
            .send(Pop3Reply::top(Pop3Reply::headers("ann@x.org", "Subject " + QByteArray::number(i),
                                                    "Tue, 4 Jun 2024 08:00:00 +0000")));
    }
    return s.expect("QUIT").send(Pop3Reply::ok()).expectClientClose();
}

bool comesAfter(const CheckProgress& later, const CheckProgress& earlier)
{
    if (later.accountIndex != earlier.accountIndex)
        return later.accountIndex > earlier.accountIndex;
    return later.messageIndex > earlier.messageIndex;
}

} // namespace

class TestCheckProgress : public QObject
{
    Q_OBJECT

private slots:
    void throttleKeepsEdgesAndThinsTheRest();
    void scriptedCheckSequence_data();
    void scriptedCheckSequence();
    void haltedCheckEndsProgress();
};

void TestCheckProgress::throttleKeepsEdgesAndThinsTheRest()
{
    // An interval longer than the test: only the edges of each account pass.
    ProgressThrottle slow(std::chrono::hours(1));
    QList<CheckProgress> passed;
    for (int account = 1; account <= 2; ++account) {
        for (int i = 1; i <= 100000; ++i) {
            const CheckProgress value{account, 2, i, 100000};
            if (slow.due(value))
                passed.append(value);
        }
    }
    QCOMPARE(
        passed,
        (QList<CheckProgress>{
            {1, 2, 1, 100000}, {1, 2, 100000, 100000}, {2, 2, 1, 100000}, {2, 2, 100000, 100000}}));

    // No interval: everything passes; after reset the first value passes.
    ProgressThrottle eager(std::chrono::milliseconds(0));
    int count = 0;
    for (int i = 1; i <= 50; ++i)
        count += eager.due({1, 1, i, 50}) ? 1 : 0;
    QCOMPARE(count, 50);
    slow.reset();
    QVERIFY(slow.due({2, 2, 7, 9}));
    QVERIFY(!slow.due({2, 2, 8, 9}));
}

void TestCheckProgress::scriptedCheckSequence_data()
{
    QTest::addColumn<bool>("checkedOnly");
    QTest::addColumn<int>("accountCount");
    QTest::newRow("every account") << false << 3;
    QTest::newRow("ticked accounts only") << true << 2;
}

void TestCheckProgress::scriptedCheckSequence()
{
    QFETCH(bool, checkedOnly);
    QFETCH(int, accountCount);
    ScriptedPop3Peer peer;
    peer.addScript(mailbox("ann", 3));
    if (!checkedOnly)
        peer.addScript(mailbox("bob", 0));
    peer.addScript(mailbox("cy", 2));
    QVERIFY(peer.listen());
    RunRig rig;
    rig.settings.checkSelectedOnly = checkedOnly;
    const QString port = QString::number(peer.port());
    rig.addAccount("ann", "pw", QStringLiteral("127.0.0.1"), port, true);
    rig.addAccount("bob", "pw", QStringLiteral("127.0.0.1"), port, false);
    rig.addAccount("cy", "pw", QStringLiteral("127.0.0.1"), port, true);

    QList<CheckProgress> values;
    int endedAfterValues = -1;
    int ends = 0;
    connect(rig.runs.get(), &RunCoordinator::checkProgress, this,
            [&](const CheckProgress& value) { values.append(value); });
    connect(rig.runs.get(), &RunCoordinator::checkProgressEnded, this, [&] {
        ++ends;
        endedAfterValues = int(values.size());
    });
    QVERIFY(rig.run());
    QVERIFY_PEER_DONE(peer, 5000);

    QVERIFY(values.size() >= 3);
    QCOMPARE(values.first(), (CheckProgress{1, accountCount, 1, 3}));
    QCOMPARE(values.last(), (CheckProgress{accountCount, accountCount, 2, 2}));
    QVERIFY(values.contains(CheckProgress{1, accountCount, 3, 3}));
    for (qsizetype i = 1; i < values.size(); ++i)
        QVERIFY2(comesAfter(values[i], values[i - 1]), qPrintable(QString::number(i)));
    QCOMPARE(ends, 1);
    QCOMPARE(endedAfterValues, values.size());
}

void TestCheckProgress::haltedCheckEndsProgress()
{
    // An account without a password halts the run before any header.
    RunRig rig;
    rig.addAccount("ann", "", QStringLiteral("127.0.0.1"), QStringLiteral("110"));
    int values = 0;
    int ends = 0;
    connect(rig.runs.get(), &RunCoordinator::checkProgress, this, [&] { ++values; });
    connect(rig.runs.get(), &RunCoordinator::checkProgressEnded, this, [&] { ++ends; });
    QVERIFY(rig.run());
    QCOMPARE(values, 0);
    QCOMPARE(ends, 1);
}

QTEST_MAIN(TestCheckProgress)
#include "test_check_progress.moc"
