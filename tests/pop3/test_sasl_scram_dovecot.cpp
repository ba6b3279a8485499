// SCRAM-SHA-256 sign-in against a real Dovecot, with a bare socket carrying
// POP3's AUTH exchange line by line through ScramClient: the server must
// accept the client's proof, the client must accept the server's signature,
// and a wrong password must never reach Done.
#include "pop3/sasl_scram.h"
#include "support/servers_dovecot.h"

#include <QSslSocket>
#include <QTest>

namespace {

// Blocking is fine here: the server is another process.
class AuthClient
{
public:
    bool open(quint16 port, bool tls)
    {
        if (tls) {
            m_socket.connectToHostEncrypted(QStringLiteral("localhost"), port);
            if (!m_socket.waitForEncrypted(5000))
                return false;
        } else {
            m_socket.connectToHost(QStringLiteral("localhost"), port);
            if (!m_socket.waitForConnected(3000))
                return false;
        }
        return line().startsWith("+OK");
    }

    // One line without its CR LF.
    QByteArray line()
    {
        while (!m_socket.canReadLine() && m_socket.waitForReadyRead(3000)) {
        }
        QByteArray text = m_socket.readLine();
        text.chop(2);
        m_transcript.append("S: " + text);
        return text;
    }

    void send(const QByteArray& text)
    {
        m_transcript.append("C: " + text);
        m_socket.write(text + "\r\n");
    }

    QByteArray command(const QByteArray& text)
    {
        send(text);
        return line();
    }

    QByteArrayList capabilities()
    {
        QByteArrayList lines;
        if (!command("CAPA").startsWith("+OK"))
            return lines;
        for (QByteArray next = line(); !next.isEmpty() && next != "."; next = line())
            lines.append(next);
        return lines;
    }

    QByteArrayList transcript() const { return m_transcript; }

private:
    QSslSocket m_socket;
    QByteArrayList m_transcript;
};

struct Outcome
{
    SaslStep last;         // the client's last verdict
    QByteArray finalReply; // the server's reply that ended the exchange
};

// Runs AUTH SCRAM-SHA-256 to its end, answering continuations as they come.
Outcome runScram(AuthClient& client, const QString& user, const QString& password)
{
    ScramClient scram;
    Outcome outcome;
    outcome.last = scram.start(user, password);
    if (outcome.last.verdict != SaslVerdict::Continue)
        return outcome;
    const SaslOpening opening = saslOpening(ScramClient::mechanism(), outcome.last.line);
    client.send(opening.command);
    for (int round = 0; round < 6; ++round) {
        const QByteArray reply = client.line();
        const auto payload = saslContinuationPayload(reply);
        if (!payload) {
            outcome.finalReply = reply;
            return outcome;
        }
        if (opening.afterContinuation && round == 0) {
            client.send(*opening.afterContinuation);
            continue;
        }
        if (outcome.last.verdict != SaslVerdict::Continue) {
            client.send(saslCancelLine());
            continue;
        }
        outcome.last = scram.step(*payload);
        client.send(outcome.last.line);
    }
    return outcome;
}

} // namespace

class TestSaslScramDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void signIn_data();
    void signIn();

private:
    DovecotFixture m_dovecot;
};

void TestSaslScramDovecot::initTestCase()
{
    m_dovecot.addUser(QStringLiteral("alice"), QStringLiteral("secret1"));
    m_dovecot.addUser(QStringLiteral("chloe"), QStringLiteral("p\u00e4ss w\u00f6rd"));
    m_dovecot.setExtraMechanisms(QStringLiteral("scram-sha-256"));
    QVERIFY(m_dovecot.writeGeneratedMessages(QStringLiteral("alice"), 3));
    QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorString()));
}

void TestSaslScramDovecot::signIn_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("plain") << false << QStringLiteral("alice") << QStringLiteral("secret1") << true;
    QTest::newRow("TLS") << true << QStringLiteral("alice") << QStringLiteral("secret1") << true;
    QTest::newRow("UTF-8 password")
        << false << QStringLiteral("chloe") << QStringLiteral("p\u00e4ss w\u00f6rd") << true;
    QTest::newRow("wrong password")
        << false << QStringLiteral("alice") << QStringLiteral("secret2") << false;
    QTest::newRow("unknown user") << false << QStringLiteral("nobody-here")
                                  << QStringLiteral("secret1") << false;
}

void TestSaslScramDovecot::signIn()
{
    QFETCH(bool, tls);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    if (tls && !m_dovecot.tlsPort())
        QSKIP("the server runs without TLS (no test CA files)");
    AuthClient client;
    QVERIFY(client.open(tls ? m_dovecot.tlsPort() : m_dovecot.plainPort(), tls));
    QVERIFY(client.capabilities().contains("SASL PLAIN LOGIN SCRAM-SHA-256"));

    const Outcome outcome = runScram(client, user, password);
    const QByteArray transcript = client.transcript().join('\n');
    if (accepted) {
        QCOMPARE(outcome.last.verdict, SaslVerdict::Done);
        QVERIFY2(outcome.finalReply.startsWith("+OK"), transcript.constData());
        // Signed in for real: the mailbox answers.
        const QByteArray stat = client.command("STAT");
        QVERIFY2(stat.startsWith(user == "alice" ? "+OK 3 " : "+OK 0 "), stat.constData());
        client.command("QUIT");
    } else {
        QVERIFY(outcome.last.verdict != SaslVerdict::Done);
        QVERIFY2(outcome.finalReply.startsWith("-ERR"), transcript.constData());
    }
    QVERIFY(!transcript.contains(password.toUtf8()));
    qInfo().noquote() << "transcript:\n" + QString::fromUtf8(transcript);
}

QTEST_GUILESS_MAIN(TestSaslScramDovecot)
#include "test_sasl_scram_dovecot.moc"
