// TLS as a user's machine meets it, against the scripted peer: the server
// certificate verified through the system trust store (where ctest
// installed the test CA), on port 995 from the first byte and after STLS
// on a plain port; a certificate the user chose to trust; no plain-text
// log-on when TLS fails.
#include "run_rig.h"
#include "runs/certificate_trust.h"
#include "runs/sign_in_book.h"
#include "session_script.h"
#include "storage/trusted_certificates.h"
#include "support/servers_pop3_peer.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TestCertificate)

namespace {

const QString summaryNone = QStringLiteral("..Check Complete: No New Mail Items -Total Items: 0");

// A session that gets as far as USER and is refused there: enough to show
// that TLS held and the log-on travelled inside it.
Pop3Script refusedAtUser()
{
    return Pop3Script()
        .send(Pop3Reply::greeting())
        .expect("USER bob")
        .send(Pop3Reply::err("inside tls"))
        .expectClientClose();
}

Pop3Script stlsThenRefusedAtUser()
{
    return Pop3Script()
        .send(Pop3Reply::greeting())
        .expect("CAPA")
        .send(Pop3Reply::multiLine({"TOP", "STLS", "USER"}))
        .expect("STLS")
        .send(Pop3Reply::ok("Begin TLS"))
        .startTls()
        .expect("CAPA")
        .send(Pop3Reply::multiLine({"TOP", "USER"}))
        .expect("USER bob")
        .send(Pop3Reply::err("inside tls"))
        .expectClientClose();
}

QString reasonFor(TestCertificate which)
{
    switch (which) {
    case TestCertificate::Expired:
        return QStringLiteral("The certificate has expired");
    case TestCertificate::WrongHost:
        return QStringLiteral("The host name did not match any of the valid hosts for this "
                              "certificate");
    case TestCertificate::SelfSigned:
        return QStringLiteral("The certificate is self-signed, and untrusted");
    case TestCertificate::UntrustedIssuer:
        return QStringLiteral("The issuer certificate of a locally looked up certificate could "
                              "not be found");
    case TestCertificate::Trusted:
        break;
    }
    return {};
}

QString fingerprintOf(TestCertificate which)
{
    return QString::fromLatin1(
        testCertificate(which).certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

// The runs with one account on localhost:995 whose certificate choices
// live in the file at path; mayAsk: the window's face, which asks.
struct TrustingRig : RunRig
{
    CertificateTrust trust;
    TrustingRig(const QString& path, bool mayAsk) : trust(path, mayAsk ? &prompter : nullptr)
    {
        runs->setCertificateTrust(&trust);
        addAccount("bob", "pw", "localhost", "995");
    }
};

} // namespace

class TestTlsSessions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void port995_data();
    void port995();
    void stls_data();
    void stls();
    void failedUpgradeGoesOnWithNextAccount();
    void trustedByTheUser();
    void changedCertificateAsksAgain();
    void theRetryTakesTheSecretItHad();
    void unreadableTrustFile();
};

void TestTlsSessions::initTestCase()
{
    for (TestCertificate which : {TestCertificate::Trusted, TestCertificate::SelfSigned})
        QVERIFY2(testCertificate(which).isValid(), qPrintable(testCertificate(which).error));
}

void TestTlsSessions::port995_data()
{
    QTest::addColumn<TestCertificate>("certificate");
    QTest::newRow("trusted through the system store") << TestCertificate::Trusted;
    QTest::newRow("expired") << TestCertificate::Expired;
    QTest::newRow("wrong host name") << TestCertificate::WrongHost;
    QTest::newRow("self-signed") << TestCertificate::SelfSigned;
    QTest::newRow("issuer not trusted") << TestCertificate::UntrustedIssuer;
}

void TestTlsSessions::port995()
{
    QFETCH(TestCertificate, certificate);
    const bool trusted = certificate == TestCertificate::Trusted;
    ScriptedPop3Peer peer(ScriptedPop3Peer::Transport::Tls);
    peer.setCertificate(certificate);
    if (trusted)
        peer.addScript(refusedAtUser());
    QVERIFY2(peer.listen(995), qPrintable(peer.errorString()));

    RunRig rig;
    rig.addAccount("bob", "pw", "localhost", "995");
    QVERIFY(rig.run());
    const QStringList lines = rig.logLines();
    if (trusted) {
        QVERIFY_PEER_DONE(peer, 5000);
        QVERIFY2(lines.mid(1, 2) == QStringList({connectedLine, "..Secured: TLS 1.3"}),
                 qPrintable(lines.join('\n')));
        QVERIFY(lines.contains("Username Logon Error: -ERR inside tls"));
        return;
    }
    QCOMPARE(lines.size(), 6);
    QVERIFY2(lines.at(1).startsWith("..TLS Error: " + reasonFor(certificate)),
             qPrintable(lines.at(1)));
    QCOMPARE(lines.at(2), "..Certificate SHA-256: " + fingerprintOf(certificate));
    QCOMPARE(lines.mid(3), QStringList({"..Not Connected", closedLine, summaryNone}));
}

void TestTlsSessions::stls_data()
{
    QTest::addColumn<TestCertificate>("certificate");
    QTest::addColumn<QString>("failure"); // empty: the session goes on inside TLS
    QTest::newRow("trusted") << TestCertificate::Trusted << QString();
    QTest::newRow("self-signed") << TestCertificate::SelfSigned
                                 << "..TLS Error: " + reasonFor(TestCertificate::SelfSigned);
    QTest::newRow("wrong host name")
        << TestCertificate::WrongHost << "..TLS Error: " + reasonFor(TestCertificate::WrongHost);
}

void TestTlsSessions::stls()
{
    QFETCH(TestCertificate, certificate);
    QFETCH(QString, failure);
    ScriptedPop3Peer peer;
    peer.setCertificate(certificate);
    if (failure.isEmpty()) {
        peer.addScript(stlsThenRefusedAtUser());
    } else {
        peer.addScript(Pop3Script()
                           .send(Pop3Reply::greeting())
                           .expect("CAPA")
                           .send(Pop3Reply::multiLine({"STLS", "USER"}))
                           .expect("STLS")
                           .send(Pop3Reply::ok("Begin TLS"))
                           .startTls()
                           .expectClientClose());
    }
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));

    RunRig rig;
    rig.addAccount("bob", "pw", "localhost", QString::number(peer.port()));
    QVERIFY(rig.run());
    QVERIFY_PEER_DONE(peer, 5000);
    const QStringList lines = rig.logLines();
    // Never a user name or password outside TLS.
    QVERIFY2(!peer.commands().contains("USER bob") || failure.isEmpty(), qPrintable(peer.report()));
    if (failure.isEmpty()) {
        QCOMPARE(lines.mid(1, 4), QStringList({connectedLine, greetingText, "..Secured: TLS 1.3",
                                               "Username Logon Error: -ERR inside tls"}));
        return;
    }
    QCOMPARE(lines.mid(1, 3), QStringList({connectedLine, greetingText, failure}));
    QCOMPARE(lines.at(4), "..Certificate SHA-256: " + fingerprintOf(certificate));
    QCOMPARE(lines.mid(5), QStringList({closedLine, summaryNone}));
}

void TestTlsSessions::failedUpgradeGoesOnWithNextAccount()
{
    // A refused STLS and a handshake the server breaks off each end their
    // account; the next one is checked.
    ScriptedPop3Peer peer;
    peer.addScript(Pop3Script()
                       .send(Pop3Reply::greeting())
                       .expect("CAPA")
                       .send(Pop3Reply::multiLine({"STLS"}))
                       .expect("STLS")
                       .send(Pop3Reply::err("TLS is down"))
                       .expectClientClose());
    peer.addScript(Pop3Script()
                       .send(Pop3Reply::greeting())
                       .expect("CAPA")
                       .send(Pop3Reply::multiLine({"STLS"}))
                       .expect("STLS")
                       .send(Pop3Reply::ok())
                       .close()); // instead of a handshake
    peer.addScript(
        Pop3Script(loggedIn()).send(Pop3Reply::stat(0)).expect("QUIT").send(Pop3Reply::ok("bye")));
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));

    RunRig rig;
    for (int i = 0; i < 3; ++i)
        rig.addAccount("bob", "pw", "localhost", QString::number(peer.port()));
    QVERIFY(rig.run());
    QVERIFY_PEER_DONE(peer, 5000);
    const QStringList lines = rig.logLines();
    QVERIFY2(lines.contains("..TLS Error: STLS Refused: -ERR TLS is down"),
             qPrintable(lines.join('\n')));
    QCOMPARE(lines.filter(QRegularExpression("^\\.\\.TLS Error: ")).size(), 2);
    QCOMPARE(peer.commands().filter("USER").size(), 1); // only the third account
    QCOMPARE(rig.mails.itemCount(), 1);                 // its "(no mail)" row
    QVERIFY(lines.last().startsWith("..Check Complete: "));
}

void TestTlsSessions::trustedByTheUser()
{
    QTemporaryDir home;
    const QString path = home.filePath(TrustedCertificates::FileName);
    ScriptedPop3Peer peer(ScriptedPop3Peer::Transport::Tls);
    peer.setCertificate(TestCertificate::SelfSigned);
    // The first connection fails its handshake (no script), then the question.
    peer.addScript(refusedAtUser()); // trusted now: the same account again
    peer.addScript(refusedAtUser()); // a later run: no question
    QVERIFY2(peer.listen(995), qPrintable(peer.errorString()));

    TrustingRig rig(path, true);
    rig.prompter.queueYesNo(true);
    QVERIFY(rig.run());
    QCOMPARE(rig.prompter.shown().size(), 1);
    const QString question = rig.prompter.shown().first().text;
    for (const QString& part :
         {QStringLiteral("Server: localhost:995"), reasonFor(TestCertificate::SelfSigned),
          QStringLiteral("Subject: "), QStringLiteral("Issuer: "), QStringLiteral("Valid Until: "),
          fingerprintOf(TestCertificate::SelfSigned)})
        QVERIFY2(question.contains(part), qPrintable(part + " missing in:\n" + question));
    QVERIFY2(rig.logLines().contains("Username Logon Error: -ERR inside tls"),
             qPrintable(rig.logLines().join('\n')));
    QCOMPARE(QFile(path).permissions() &
                 (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());

    // A program started later reads the choice from the file.
    TrustingRig later(path, true);
    QVERIFY(later.run());
    QVERIFY_PEER_DONE(peer, 5000);
    QVERIFY(later.prompter.shown().isEmpty());
    QVERIFY(later.logLines().contains("Username Logon Error: -ERR inside tls"));
}

// A password from a command is asked for once per visit: the visit again
// after the certificate was trusted signs in with it too.
void TestTlsSessions::theRetryTakesTheSecretItHad()
{
    QTemporaryDir home;
    const QString asked = home.filePath("asked");
    ScriptedPop3Peer peer(ScriptedPop3Peer::Transport::Tls);
    peer.setCertificate(TestCertificate::SelfSigned);
    peer.addScript(Pop3Script()
                       .send(Pop3Reply::greeting())
                       .expect("USER bob")
                       .send(Pop3Reply::ok())
                       .expect("PASS from command")
                       .send(Pop3Reply::err("refused inside tls"))
                       .expectClientClose());
    QVERIFY2(peer.listen(995), qPrintable(peer.errorString()));

    TrustingRig rig(home.filePath(TrustedCertificates::FileName), true);
    SignInBook book;
    AccountSignIn signIn;
    signIn.secretOrigin = SecretOrigin::Command;
    signIn.secretCommand = {"sh", "-c", "echo >> \"$0\"; printf 'from command'", asked};
    book.set({QStringLiteral("localhost"), 995, QStringLiteral("bob")}, signIn);
    rig.runs->setSignInBook(&book);
    rig.prompter.queueYesNo(true);
    QVERIFY(rig.run());
    QVERIFY_PEER_DONE(peer, 5000);
    QCOMPARE(rig.prompter.shown().size(), 1);
    QVERIFY2(rig.logLines().contains("Password Logon Error: -ERR refused inside tls"),
             qPrintable(rig.logLines().join('\n')));
    QFile file(asked);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\n"));
}

void TestTlsSessions::changedCertificateAsksAgain()
{
    QTemporaryDir home;
    const QString path = home.filePath(TrustedCertificates::FileName);
    TrustedCertificates earlier;
    // The user once trusted another certificate for this server and port.
    QVERIFY(earlier.store(path, {"localhost", 995, QByteArray(32, '\x11')}));
    ScriptedPop3Peer peer(ScriptedPop3Peer::Transport::Tls);
    peer.setCertificate(TestCertificate::SelfSigned);
    QVERIFY2(peer.listen(995), qPrintable(peer.errorString()));

    TrustingRig rig(path, true);
    rig.prompter.queueYesNo(false);
    QVERIFY(rig.run());
    QCOMPARE(rig.prompter.shown().size(), 1);
    QVERIFY(rig.prompter.shown().first().text.contains("CHANGED"));
    QCOMPARE(peer.tlsHandshakeFailures(), 1); // No: no second try
    // The next (timed) check does not ask again while the program runs.
    QVERIFY(rig.run());
    QCOMPARE(peer.tlsHandshakeFailures(), 2);
    QCOMPARE(rig.prompter.shown().size(), 1);
    TrustedCertificates after;
    QVERIFY(after.load(path));
    QCOMPARE(after.sha256For("localhost", 995), QByteArray(32, '\x11'));
}

void TestTlsSessions::unreadableTrustFile()
{
    QTemporaryDir home;
    const QString path = home.filePath(TrustedCertificates::FileName);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not our file\n");
    file.close();
    ScriptedPop3Peer peer(ScriptedPop3Peer::Transport::Tls);
    peer.setCertificate(TestCertificate::SelfSigned);
    QVERIFY2(peer.listen(995), qPrintable(peer.errorString()));

    TrustingRig rig(path, false); // the command line never asks
    rig.addAccount("bob", "pw", "localhost", "995");
    QVERIFY(rig.run());
    QCOMPARE(peer.tlsHandshakeFailures(), 2);
    const QStringList lines = rig.logLines();
    QCOMPARE(lines.filter("..Trusted Certificates Not Read").size(), 1);
    QCOMPARE(lines.filter("..TLS Error: ").size(), 2);
}

QTEST_GUILESS_MAIN(TestTlsSessions)
#include "test_tls_sessions.moc"
