// Self-check of the Dovecot fixture with a bare socket client: the
// integration tests rely on it logging on with USER/PASS and APOP, over
// plain and TLS, serving the generated mails in order, failing a wrong
// password at once, seeing mailbox changes between log-ons, presenting the
// chosen certificate, and demanding STLS from a remote-looking client when
// TLS is required. The client keeps the default TLS configuration, as the
// product does: it trusts what the system trust store trusts.
#include "support/servers_dovecot.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTest>

namespace {

// Blocking is fine here: the server is another process.
class BareClient
{
public:
    BareClient()
    {
        QObject::connect(&m_socket, &QSslSocket::sslErrors, [this](const QList<QSslError>& list) {
            for (const QSslError& error : list)
                m_tlsErrors.append(error.error());
        });
    }

    bool open(quint16 port, bool tls, const QString& host = QStringLiteral("localhost"))
    {
        if (tls) {
            m_socket.connectToHostEncrypted(host, port);
            if (!m_socket.waitForEncrypted(5000))
                return false;
        } else {
            m_socket.connectToHost(host, port);
            if (!m_socket.waitForConnected(3000))
                return false;
        }
        m_greeting = line();
        return m_greeting.startsWith("+OK");
    }

    // After "+OK" to STLS; the certificate is checked against the host
    // name or address given to open().
    bool startTls()
    {
        m_socket.startClientEncryption();
        return m_socket.waitForEncrypted(5000);
    }

    QByteArray line()
    {
        while (!m_socket.canReadLine() && m_socket.waitForReadyRead(3000)) {
        }
        return m_socket.readLine();
    }

    QByteArray command(const QByteArray& text)
    {
        m_socket.write(text + "\r\n");
        return line();
    }

    // The lines of a multi-line reply after its status line, undotted.
    QList<QByteArray> multiLine()
    {
        QList<QByteArray> lines;
        for (QByteArray next = line(); !next.isEmpty() && next != ".\r\n"; next = line()) {
            next.chop(2);
            lines.append(next.startsWith('.') ? next.mid(1) : next);
        }
        return lines;
    }

    QByteArray greeting() const { return m_greeting; }
    QString error() const { return m_socket.errorString(); }
    QList<QSslError::SslError> tlsErrors() const { return m_tlsErrors; }

private:
    QSslSocket m_socket;
    QByteArray m_greeting;
    QList<QSslError::SslError> m_tlsErrors;
};

QByteArray apopCommand(const QByteArray& greeting, const QByteArray& user, const QByteArray& secret)
{
    const QRegularExpressionMatch stamp =
        QRegularExpression(QStringLiteral("<[^>]*>")).match(QString::fromLatin1(greeting));
    if (!stamp.hasMatch())
        return QByteArray();
    const QByteArray digest =
        QCryptographicHash::hash(stamp.captured().toLatin1() + secret, QCryptographicHash::Md5);
    return "APOP " + user + ' ' + digest.toHex();
}

int statCount(const QByteArray& reply)
{
    const QList<QByteArray> parts = reply.trimmed().split(' ');
    return parts.size() == 3 && parts[0] == "+OK" ? parts[1].toInt() : -1;
}

} // namespace

class TestRigDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void servesGeneratedMail_data();
    void servesGeneratedMail();
    void wrongPasswordFailsAtOnce_data();
    void wrongPasswordFailsAtOnce();
    void mailboxChangesAreSeen();
    void chosenCertificateIsPresented_data();
    void chosenCertificateIsPresented();
    void sslRequiredDemandsStlsFromRemoteAddress_data();
    void sslRequiredDemandsStlsFromRemoteAddress();

private:
    DovecotFixture m_dovecot;
};

void TestRigDovecot::initTestCase()
{
    m_dovecot.addUser("alice", "secret1");
    m_dovecot.addUser("bob", "s3cret+2");
    QVERIFY(m_dovecot.writeGeneratedMessages("alice", 12));
    QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorString()));
}

void TestRigDovecot::servesGeneratedMail_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("apop");
    QTest::newRow("plain, USER/PASS") << false << false;
    QTest::newRow("plain, APOP") << false << true;
    QTest::newRow("TLS, USER/PASS") << true << false;
    QTest::newRow("TLS, APOP") << true << true;
}

void TestRigDovecot::servesGeneratedMail()
{
    QFETCH(bool, tls);
    QFETCH(bool, apop);
    BareClient client;
    QVERIFY2(client.open(tls ? m_dovecot.tlsPort() : m_dovecot.plainPort(), tls),
             qPrintable(client.error()));
    if (apop) {
        const QByteArray command = apopCommand(client.greeting(), "alice", "secret1");
        QVERIFY2(!command.isEmpty(), client.greeting().constData());
        QCOMPARE(client.command(command).left(3), QByteArray("+OK"));
    } else {
        QCOMPARE(client.command("USER alice").left(3), QByteArray("+OK"));
        QCOMPARE(client.command("PASS secret1").left(3), QByteArray("+OK"));
    }
    QCOMPARE(statCount(client.command("STAT")), 12);
    for (int n = 1; n <= 12; ++n) {
        QVERIFY(client.command("TOP " + QByteArray::number(n) + " 2").startsWith("+OK"));
        const QList<QByteArray> lines = client.multiLine();
        const GeneratedMail mail = GeneratedMail::number(n);
        QVERIFY(lines.contains("From: " + mail.from.toUtf8()));
        QVERIFY(lines.contains("Subject: " + mail.subject.toUtf8()));
        QVERIFY(lines.contains("Date: " + mail.date.toUtf8()));
        // Two body lines after the blank line, the second dot-stuffed on the wire.
        const qsizetype blank = lines.indexOf(QByteArray());
        QCOMPARE(lines.mid(blank + 1),
                 QList<QByteArray>({"Hello from sender " + QByteArray::number(n) + ".",
                                    ".This line starts with a dot."}));
    }
    QVERIFY(client.command("QUIT").startsWith("+OK"));
}

void TestRigDovecot::wrongPasswordFailsAtOnce_data()
{
    QTest::addColumn<bool>("apop");
    QTest::newRow("PASS") << false;
    QTest::newRow("APOP") << true;
}

void TestRigDovecot::wrongPasswordFailsAtOnce()
{
    QFETCH(bool, apop);
    for (int attempt = 0; attempt < 3; ++attempt) {
        BareClient client;
        QVERIFY(client.open(m_dovecot.plainPort(), false));
        QElapsedTimer timer;
        timer.start();
        QByteArray reply;
        if (apop) {
            reply = client.command(apopCommand(client.greeting(), "bob", "wrong"));
        } else {
            QVERIFY(client.command("USER bob").startsWith("+OK"));
            reply = client.command("PASS wrong");
        }
        QVERIFY2(reply.startsWith("-ERR"), reply.constData());
        // Dovecot answers failures on a 500 ms beat; its default delay is 2 s
        // and a penalised address waits 5 s or more.
        QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
    }
    // Repeated failures leave no penalty on the right password.
    BareClient client;
    QVERIFY(client.open(m_dovecot.plainPort(), false));
    QVERIFY(client.command("USER bob").startsWith("+OK"));
    QVERIFY(client.command("PASS s3cret+2").startsWith("+OK"));
}

void TestRigDovecot::mailboxChangesAreSeen()
{
    const auto countFor = [this](const QByteArray& user, const QByteArray& password) {
        BareClient client;
        if (!client.open(m_dovecot.plainPort(), false) ||
            !client.command("USER " + user).startsWith("+OK") ||
            !client.command("PASS " + password).startsWith("+OK"))
            return -2;
        const int count = statCount(client.command("STAT"));
        client.command("QUIT");
        return count;
    };
    QCOMPARE(countFor("bob", "s3cret+2"), 0);
    QVERIFY(m_dovecot.writeGeneratedMessages("bob", 2, 10));
    QVERIFY(!m_dovecot.writeMessage("bob", {"From: x@y", "Subject: added"}, "body\r\n").isEmpty());
    QCOMPARE(countFor("bob", "s3cret+2"), 3);
    m_dovecot.removeAllMessages("bob");
    QCOMPARE(countFor("bob", "s3cret+2"), 0);

    // A restart (fresh base_dir, perhaps new ports) serves the same mailboxes.
    m_dovecot.stop();
    QVERIFY(!m_dovecot.isRunning());
    QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorString()));
    QCOMPARE(countFor("alice", "secret1"), 12);
}

void TestRigDovecot::chosenCertificateIsPresented_data()
{
    QTest::addColumn<TestCertificate>("certificate");
    QTest::addColumn<QList<QSslError::SslError>>("errors");
    for (const CertificateVerdict& v : certificateVerdicts())
        QTest::newRow(v.name) << v.certificate << v.errors;
}

void TestRigDovecot::chosenCertificateIsPresented()
{
    QFETCH(TestCertificate, certificate);
    QFETCH(QList<QSslError::SslError>, errors);

    DovecotFixture dovecot;
    dovecot.addUser("alice", "secret1");
    dovecot.setCertificate(certificate);
    QVERIFY2(dovecot.start(), qPrintable(dovecot.errorString()));
    BareClient client;
    const bool opened = client.open(dovecot.tlsPort(), true);
    QVERIFY2(client.tlsErrors() == errors, qPrintable(describeSslErrors(client.tlsErrors())));
    QCOMPARE(opened, errors.isEmpty());
}

void TestRigDovecot::sslRequiredDemandsStlsFromRemoteAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("plainLogOn");
    // Dovecot counts a client whose address is the server's as secure.
    QTest::newRow("127.0.0.1, counted as local") << QStringLiteral("127.0.0.1") << true;
    QTest::newRow("127.0.0.2, remote") << DovecotFixture::remoteAddress() << false;
}

void TestRigDovecot::sslRequiredDemandsStlsFromRemoteAddress()
{
    QFETCH(QString, address);
    QFETCH(bool, plainLogOn);

    DovecotFixture dovecot;
    dovecot.addUser("alice", "secret1");
    QVERIFY(dovecot.writeGeneratedMessages("alice", 2));
    dovecot.setSslRequired(true);
    QVERIFY2(dovecot.start(), qPrintable(dovecot.errorString()));
    BareClient client;
    QVERIFY2(client.open(dovecot.plainPort(), false, address), qPrintable(client.error()));
    QVERIFY(client.command("CAPA").startsWith("+OK"));
    QVERIFY(client.multiLine().contains("STLS"));
    const QByteArray user = client.command("USER alice");
    QVERIFY2(user.startsWith(plainLogOn ? "+OK" : "-ERR"), user.constData());
    if (!plainLogOn) {
        QCOMPARE(client.command("PASS secret1").left(4), QByteArray("-ERR"));
        QVERIFY(client.command("STLS").startsWith("+OK"));
        // The certificate must verify for the address itself.
        QVERIFY2(client.startTls(), qPrintable(client.error()));
        QVERIFY2(client.tlsErrors().isEmpty(), qPrintable(describeSslErrors(client.tlsErrors())));
        QVERIFY(client.command("USER alice").startsWith("+OK"));
    }
    QVERIFY(client.command("PASS secret1").startsWith("+OK"));
    QCOMPARE(statCount(client.command("STAT")), 2);
}

QTEST_GUILESS_MAIN(TestRigDovecot)
#include "test_rig_dovecot.moc"
