// Check runs over TLS against a real Dovecot whose certificate is signed
// by a CA that only the system trust store knows (installed there by
// ctest): on port 995 from the first byte, and on a plain port where the
// server demands STLS before any log-on.
#include "run_rig.h"
#include "support/servers_dovecot.h"

#include <QTest>

class TestTlsDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void port995ListsEveryMessage();
    void stlsRequiredListsEveryMessage();

private:
    void checkAlice(const QString& server, quint16 port);
};

void TestTlsDovecot::initTestCase()
{
    if (DovecotFixture::dovecotBinary().isEmpty())
        QFAIL("Dovecot is not installed (scripts/install-deps.sh installs it)");
}

void TestTlsDovecot::checkAlice(const QString& server, quint16 port)
{
    RunRig rig;
    rig.addAccount("alice", "secret1", server, QString::number(port));
    QVERIFY(rig.run());
    const QStringList log = rig.logLines();
    qInfo("%s", qPrintable(log.join('\n'))); // what a user would read
    QVERIFY2(log.contains("..Secured: TLS 1.3"), qPrintable(log.join('\n')));
    QCOMPARE(rig.mails.itemCount(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(rig.mails.item(i).subject, GeneratedMail::number(i + 1).subject);
    QCOMPARE(log.last(), QStringLiteral("..Check Complete: 3 New Mail Items -Total Items: 3"));
}

void TestTlsDovecot::port995ListsEveryMessage()
{
    DovecotFixture dovecot;
    dovecot.addUser("alice", "secret1");
    QVERIFY(dovecot.writeGeneratedMessages("alice", 3));
    dovecot.setTlsPort(995);
    QVERIFY2(dovecot.start(), qPrintable(dovecot.errorString()));
    checkAlice(QStringLiteral("localhost"), 995);
}

void TestTlsDovecot::stlsRequiredListsEveryMessage()
{
    DovecotFixture dovecot;
    dovecot.addUser("alice", "secret1");
    QVERIFY(dovecot.writeGeneratedMessages("alice", 3));
    dovecot.setSslRequired(true);
    QVERIFY2(dovecot.start(), qPrintable(dovecot.errorString()));
    // From another address the server refuses log-ons in plain text: the
    // list is complete only because the session upgraded first.
    checkAlice(DovecotFixture::remoteAddress(), dovecot.plainPort());
    QVERIFY2(!dovecot.logText().contains("Plaintext authentication disallowed"),
             qPrintable(dovecot.logText()));
}

QTEST_GUILESS_MAIN(TestTlsDovecot)
#include "test_tls_dovecot.moc"
