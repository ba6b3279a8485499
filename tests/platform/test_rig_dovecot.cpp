// Self-check of the Dovecot fixture with a bare socket client: the
// integration tests rely on it logging on with USER/PASS and APOP, over
// plain and TLS, serving the generated mails in order, failing a wrong
// password at once, and seeing mailbox changes between log-ons.
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
    bool open(quint16 port, bool tls)
    {
        if (tls) {
            QSslConfiguration config = m_socket.sslConfiguration();
            config.addCaCertificate(DovecotFixture::caCertificate());
            m_socket.setSslConfiguration(config);
            m_socket.connectToHostEncrypted(QStringLiteral("localhost"), port);
            if (!m_socket.waitForEncrypted(5000))
                return false;
        } else {
            m_socket.connectToHost(QHostAddress::LocalHost, port);
            if (!m_socket.waitForConnected(3000))
                return false;
        }
        m_greeting = line();
        return m_greeting.startsWith("+OK");
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

private:
    QSslSocket m_socket;
    QByteArray m_greeting;
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

QTEST_GUILESS_MAIN(TestRigDovecot)
#include "test_rig_dovecot.moc"
