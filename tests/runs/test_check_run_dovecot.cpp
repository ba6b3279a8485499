// Check runs against a real POP3 server (a private Dovecot): log-on modes,
// fetch modes, errors and several accounts in one run.
#include "run_rig.h"
#include "support/servers_dovecot.h"

#include <QTest>

namespace {

const QString closedLine = QStringLiteral("...User Connection Closed - Wait...");

QString generatedRow(const QString& user, int i, quint16 port, const QString& image = "2")
{
    const GeneratedMail m = GeneratedMail::number(i);
    return QStringList{user, m.from, m.subject, m.date, "127.0.0.1", QString::number(port), image}
        .join(QLatin1Char('|'));
}

// The rows without their keys.
QStringList rowsWithoutKeys(const RunRig& rig)
{
    QStringList out;
    for (const QString& row : rig.rows())
        out.append(row.section(QLatin1Char('|'), 0, 6));
    return out;
}

QString noMailRow(const QString& user)
{
    return user + QStringLiteral("|(no mail)|(no mail)|(no mail)|(no mail)|(no mail)|1");
}

} // namespace

class TestCheckRunDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void logOnAndFetchModes_data();
    void logOnAndFetchModes();
    void refusedLogOns_data();
    void refusedLogOns();
    void severalAccountsInOrder();

private:
    DovecotFixture m_dovecot;
};

void TestCheckRunDovecot::initTestCase()
{
    if (DovecotFixture::dovecotBinary().isEmpty())
        QFAIL("Dovecot is not installed (scripts/install-deps.sh installs it)");
    m_dovecot.addUser("alice", "secret1");
    m_dovecot.addUser("bob", "secret2");
    m_dovecot.addUser("carol", "secret3");
    QVERIFY(m_dovecot.writeGeneratedMessages("alice", 3));
    QVERIFY(m_dovecot.writeGeneratedMessages("carol", 1, 7));
    QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorString()));
}

void TestCheckRunDovecot::logOnAndFetchModes_data()
{
    QTest::addColumn<bool>("apop");
    QTest::addColumn<bool>("retr");
    QTest::newRow("USER/PASS, TOP") << false << false;
    QTest::newRow("USER/PASS, RETR") << false << true;
    QTest::newRow("APOP, TOP") << true << false;
    QTest::newRow("APOP, RETR") << true << true;
}

void TestCheckRunDovecot::logOnAndFetchModes()
{
    QFETCH(bool, apop);
    QFETCH(bool, retr);
    RunRig rig;
    rig.settings.useApop = apop ? 1 : 0;
    rig.settings.useRetr = retr ? 1 : 0;
    // With APOP the shared secret is the account's password on the server.
    rig.settings.apopSecret = "secret1";
    rig.addAccount("alice", apop ? "unused" : "secret1", m_dovecot.plainPort());
    QVERIFY(rig.run());

    const quint16 port = m_dovecot.plainPort();
    QCOMPARE(rowsWithoutKeys(rig),
             QStringList({generatedRow("alice", 1, port), generatedRow("alice", 2, port),
                          generatedRow("alice", 3, port)}));
    const QStringList log = rig.logLines();
    QVERIFY2(log.at(2).startsWith("+OK") && log.at(2).contains('<'), qPrintable(log.at(2)));
    // Dovecot offers STLS on its plain port: the session takes it.
    QCOMPARE(log.at(3), QStringLiteral("..Secured: TLS 1.3"));
    QVERIFY2(log.at(4).startsWith("+OK"), qPrintable(log.join('\n'))); // log-on accepted
    QCOMPARE(log.mid(5), QStringList({"..Checking For Mail", log.at(6), closedLine,
                                      "..Check Complete: 3 New Mail Items -Total Items: 3"}));
    QVERIFY(log.at(6).startsWith("+OK")); // the reply to QUIT
    QCOMPARE(keyText(rig.mails.item(0).key),
             apop ? QStringLiteral("K1Punused") : QStringLiteral("K1Psecret1"));
}

void TestCheckRunDovecot::refusedLogOns_data()
{
    QTest::addColumn<bool>("apop");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("line");
    QTest::newRow("wrong password") << false << QString() << "nope"
                                    << "Password Logon Error: -ERR [AUTH] Authentication failed.";
    QTest::newRow("APOP, wrong secret") << true << "nope"
                                        << "secret2"
                                        << "-ERR [AUTH] Authentication failed.";
    QTest::newRow("APOP, no secret") << true << QString() << "secret2"
                                     << "APOP Logon Error - No Shared Secret";
}

void TestCheckRunDovecot::refusedLogOns()
{
    QFETCH(bool, apop);
    QFETCH(QString, secret);
    QFETCH(QString, password);
    QFETCH(QString, line);
    RunRig rig;
    rig.settings.useApop = apop ? 1 : 0;
    rig.settings.apopSecret = secret;
    rig.addAccount("bob", password, m_dovecot.plainPort());
    rig.addAccount("carol", "secret3", m_dovecot.plainPort()); // the run goes on
    if (apop)
        rig.accounts.removeAccountRow(1); // APOP uses one secret for all: one account only
    QVERIFY(rig.run());
    const QStringList log = rig.logLines();
    QVERIFY2(log.contains(line), qPrintable(log.join('\n')));
    QVERIFY(!log.contains("..Checking For Mail") || !apop);
    if (!apop)
        QCOMPARE(rowsWithoutKeys(rig),
                 QStringList{generatedRow("carol", 7, m_dovecot.plainPort())});
    else
        QCOMPARE(rig.mails.itemCount(), 0);
    QVERIFY(log.last().startsWith("..Check Complete: "));
}

void TestCheckRunDovecot::severalAccountsInOrder()
{
    RunRig rig;
    const quint16 port = m_dovecot.plainPort();
    rig.addAccount("carol", "secret3", port);
    rig.addAccount("bob", "secret2", port);
    rig.addAccount("alice", "secret1", port);
    QVERIFY(rig.run());
    QCOMPARE(rowsWithoutKeys(rig),
             QStringList({generatedRow("carol", 7, port), noMailRow("bob"),
                          generatedRow("alice", 1, port), generatedRow("alice", 2, port),
                          generatedRow("alice", 3, port)}));
    QCOMPARE(rig.logLines().filter("..Connected-ServerIP: 127.0.0.1").size(), 3);
    QCOMPARE(rig.logLines().filter(closedLine).size(), 3);
    QCOMPARE(rig.logLines().last(), "..Check Complete: 4 New Mail Items -Total Items: 4");
    QCOMPARE(rig.mails.item(4).key, (AccountKey{5, "secret1"}));
}

QTEST_GUILESS_MAIN(TestCheckRunDovecot)
#include "test_check_run_dovecot.moc"
