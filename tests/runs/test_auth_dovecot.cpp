// AUTH sign-in through the session driver against a real Dovecot that
// demands STLS: a SCRAM-SHA-256 account and an OAuth2 account (its token
// checked by the local authorization server) each list their mail; a wrong
// password or a stale token ends the session with the reason logged.
#include "auth_rig.h"
#include "support/servers_dovecot.h"
#include "support/servers_oauth.h"

#include <QTest>

Q_DECLARE_METATYPE(SignInMethod)

class TestAuthDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void signIn_data();
    void signIn();

private:
    OAuthServer m_introspection;
    DovecotFixture m_dovecot;
};

void TestAuthDovecot::initTestCase()
{
    if (DovecotFixture::dovecotBinary().isEmpty())
        QFAIL("Dovecot is not installed (scripts/install-deps.sh installs it)");
    QVERIFY(m_introspection.listen());
    m_introspection.addAccessToken("good-token-alice", "alice");
    m_dovecot.addUser(QStringLiteral("alice"), QStringLiteral("secret1"));
    m_dovecot.setExtraMechanisms(QStringLiteral("scram-sha-256"));
    m_dovecot.setOAuthIntrospectionUrl(
        m_introspection.url(QStringLiteral("/introspect")).toString());
    // From remoteAddress() the server refuses any sign-in before STLS.
    m_dovecot.setSslRequired(true);
    QVERIFY(m_dovecot.writeGeneratedMessages(QStringLiteral("alice"), 3));
    QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorString()));
    QVERIFY2(m_dovecot.tlsPort() != 0, "the server runs without TLS (no test CA files)");
}

void TestAuthDovecot::signIn_data()
{
    QTest::addColumn<SignInMethod>("method");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("refusal"); // empty: the mail is listed
    QTest::newRow("SCRAM-SHA-256") << SignInMethod::Scram << QStringLiteral("secret1") << QString();
    QTest::newRow("OAuth2") << SignInMethod::OAuth2 << QStringLiteral("good-token-alice")
                            << QString();
    QTest::newRow("SCRAM-SHA-256, wrong password")
        << SignInMethod::Scram << QStringLiteral("secret2") << QStringLiteral("AUTH Logon Error");
    QTest::newRow("OAuth2, stale token")
        << SignInMethod::OAuth2 << QStringLiteral("stale-token")
        << QStringLiteral("AUTH Logon Error - the server refused the access token: ");
}

void TestAuthDovecot::signIn()
{
    QFETCH(SignInMethod, method);
    QFETCH(QString, secret);
    QFETCH(QString, refusal);
    AuthRig rig;
    QVERIFY(rig.session(method, QStringLiteral("alice"), secret, DovecotFixture::remoteAddress(),
                        m_dovecot.plainPort()));
    const QStringList log = rig.logLines();
    qInfo("%s", qPrintable(log.join('\n'))); // what a user would read
    QVERIFY2(log.contains(QStringLiteral("..Secured: TLS 1.3")), qPrintable(log.join('\n')));
    QVERIFY(!log.join('\n').contains(secret));
    if (refusal.isEmpty()) {
        QStringList subjects;
        for (int i = 1; i <= 3; ++i)
            subjects.append(GeneratedMail::number(i).subject);
        QCOMPARE(rig.client.subjects, subjects);
        QVERIFY(rig.client.quitAnswered);
        QVERIFY2(!m_dovecot.logText().contains("Plaintext authentication disallowed"),
                 qPrintable(m_dovecot.logText()));
        return;
    }
    QCOMPARE(rig.client.subjects, QStringList());
    QVERIFY(!rig.client.quitAnswered);
    QVERIFY2(std::any_of(log.cbegin(), log.cend(),
                         [&](const QString& line) { return line.startsWith(refusal); }),
             qPrintable(log.join('\n')));
}

QTEST_GUILESS_MAIN(TestAuthDovecot)
#include "test_auth_dovecot.moc"
