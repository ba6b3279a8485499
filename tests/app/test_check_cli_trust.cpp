// quorvamel-check --trust SERVER:PORT against the scripted peer: the
// certificate fetched as a session would reach it (TLS on 995, STLS
// elsewhere), stored only on a yes, and accepted by later checks.
#include "app/check_cli.h"
#include "runs/certificate_trust.h"
#include "storage/settings_file.h"
#include "storage/settings_record.h"
#include "storage/trusted_certificates.h"
#include "storage/users_file.h"
#include "support/servers_pop3_peer.h"
#include "support/storage_accounts.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>

namespace {

constexpr int selfSignedCertificate = int(TestCertificate::SelfSigned);

struct Result
{
    int exitCode = -1;
    QString err;
    QStringList questions;
};

} // namespace

class TestCheckCliTrust : public QObject
{
    Q_OBJECT
private slots:
    void fetchAndAsk_data();
    void fetchAndAsk();
    void badArguments_data();
    void badArguments();
    void storedCertificatePassesTheCheck();

private:
    QString makeHome(int accountPort = 0);
    // The probe blocks its thread, so it runs on another while this one
    // serves the peer.
    Result runTrust(const QStringList& arguments, const QString& home, const QString& answer);
    static QString trustedFile(const QString& home)
    {
        return dataFolderOf(home) + QLatin1Char('/') + TrustedCertificates::FileName;
    }

    QList<std::shared_ptr<QTemporaryDir>> m_homes;
};

QString TestCheckCliTrust::makeHome(int accountPort)
{
    auto dir = std::make_shared<QTemporaryDir>();
    m_homes.append(dir);
    const QString data = dataFolderOf(dir->path());
    QDir().mkpath(data);
    SettingsRecord settings = SettingsRecord::templateRecord();
    settings.setServerTimeoutMs(10000);
    writeSettingsFile(data + QStringLiteral("/quorvamel.ini"), settings);
    if (accountPort)
        writeAccounts(data + QLatin1Char('/') + UsersFileName,
                      {{"Box bob", "bob", "pw", "localhost", accountPort}});
    return dir->path();
}

Result TestCheckCliTrust::runTrust(const QStringList& arguments, const QString& home,
                                   const QString& answer)
{
    Result r;
    QString out;
    QTextStream outStream(&out);
    QTextStream errStream(&r.err);
    CheckCliIo io;
    io.out = &outStream;
    io.err = &errStream;
    if (answer != QLatin1String("none"))
        io.askYesNo = [&](const QString& question) {
            r.questions.append(question);
            return answer == QLatin1String("yes");
        };
    std::unique_ptr<QThread> thread(
        QThread::create([&] { r.exitCode = runCheckCli(arguments, home, io); }));
    thread->start();
    if (!QTest::qWaitFor([&] { return thread->isFinished(); }, 30000))
        qFatal("runCheckCli --trust did not return");
    thread->wait();
    errStream.flush();
    return r;
}

void TestCheckCliTrust::fetchAndAsk_data()
{
    QTest::addColumn<bool>("tls995"); // else STLS on a free port
    QTest::addColumn<int>("certificate");
    QTest::addColumn<QByteArray>("capaReply"); // STLS path only
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errContains");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("stored");

    const QByteArray withStls = Pop3Reply::multiLine({"USER", "STLS", "UTF8"});
    const int selfSigned = selfSignedCertificate;
    QTest::newRow("995 self-signed, answered no")
        << true << selfSigned << QByteArray() << "no" << 1 << "SHA-256: " << true << false;
    QTest::newRow("995 self-signed, no terminal")
        << true << selfSigned << QByteArray() << "none" << 1 << "SHA-256: " << false << false;
    QTest::newRow("995 signed by a trusted CA")
        << true << int(TestCertificate::Trusted) << QByteArray() << "yes" << 0
        << "The system's trusted certificates vouch for localhost:995; nothing to store." << false
        << false;
    QTest::newRow("STLS self-signed, answered yes")
        << false << selfSigned << withStls << "yes" << 0 << "Stored." << true << true;
    QTest::newRow("CAPA without STLS")
        << false << selfSigned << Pop3Reply::multiLine({"USER", "UTF8"}) << "yes" << 1
        << "the server offers no TLS on this port" << false << false;
    QTest::newRow("CAPA refused") << false << selfSigned << Pop3Reply::err("unknown command")
                                  << "yes" << 1 << "the server offers no TLS on this port" << false
                                  << false;
}

void TestCheckCliTrust::fetchAndAsk()
{
    QFETCH(bool, tls995);
    QFETCH(int, certificate);
    QFETCH(QByteArray, capaReply);
    QFETCH(QString, answer);
    QFETCH(int, exitCode);
    QFETCH(QString, errContains);
    QFETCH(bool, asked);
    QFETCH(bool, stored);

    ScriptedPop3Peer peer(tls995 ? ScriptedPop3Peer::Transport::Tls
                                 : ScriptedPop3Peer::Transport::Plain);
    peer.setCertificate(TestCertificate(certificate));
    // A handshake the probe refuses never reaches a script on 995.
    const bool handshakeRefused = tls995 && certificate == selfSignedCertificate;
    Pop3Script script;
    if (!tls995) {
        script.send(Pop3Reply::greeting()).expect("CAPA").send(capaReply);
        if (capaReply.contains("STLS"))
            script.expect("STLS").send(Pop3Reply::ok("Begin TLS")).startTls();
    }
    if (!handshakeRefused)
        peer.addScript(script.expectClientClose());
    QVERIFY2(peer.listen(tls995 ? 995 : 0), qPrintable(peer.errorString()));
    const QString server = QStringLiteral("localhost:") + QString::number(peer.port());

    const QString home = makeHome();
    const Result r = runTrust({"--trust", server}, home, answer);
    if (handshakeRefused)
        QTRY_COMPARE_WITH_TIMEOUT(peer.tlsHandshakeFailures(), 1, 5000);
    else
        QVERIFY_PEER_DONE(peer, 5000);
    QVERIFY2(r.err.contains(errContains), qPrintable(r.err));
    QCOMPARE(r.exitCode, exitCode);
    if (asked) {
        const QString fingerprint = CertificateTrust::fingerprint(
            testCertificate(TestCertificate(certificate)).certificate);
        QVERIFY2(r.err.contains(QStringLiteral("SHA-256: ") + fingerprint), qPrintable(r.err));
        QCOMPARE(r.questions, QStringList{"Trust this certificate for " + server + "?"});
    } else {
        QVERIFY(r.questions.isEmpty());
    }
    QCOMPARE(QFileInfo::exists(trustedFile(home)), stored);
    if (stored) {
        TrustedCertificates file;
        QVERIFY(file.load(trustedFile(home)));
        QCOMPARE(file.sha256For("localhost", peer.port()),
                 testCertificate(TestCertificate(certificate))
                     .certificate.digest(QCryptographicHash::Sha256));
    }
}

void TestCheckCliTrust::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no port") << QStringList{"--trust", "host"};
    QTest::newRow("port 0") << QStringList{"--trust", "host:0"};
    QTest::newRow("port too large") << QStringList{"--trust", "host:65536"};
    QTest::newRow("no host") << QStringList{"--trust", ":995"};
    QTest::newRow("no value") << QStringList{"--trust"};
    QTest::newRow("with --count") << QStringList{"--trust", "host:995", "--count"};
}

void TestCheckCliTrust::badArguments()
{
    QFETCH(QStringList, arguments);
    const QString home = makeHome();
    const Result r = runTrust(arguments, home, "yes");
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.startsWith("Usage: quorvamel-check"), qPrintable(r.err));
    QVERIFY(r.questions.isEmpty());
}

// A certificate stored with --trust is accepted by the next check of that
// server and port, owner-only on disk.
void TestCheckCliTrust::storedCertificatePassesTheCheck()
{
    ScriptedPop3Peer peer(ScriptedPop3Peer::Transport::Tls);
    peer.setCertificate(TestCertificate::SelfSigned);
    peer.addScript(Pop3Script()
                       .send(Pop3Reply::greeting())
                       .expect("USER bob")
                       .send(Pop3Reply::ok())
                       .expect("PASS pw")
                       .send(Pop3Reply::ok("logged in"))
                       .expect("STAT")
                       .send(Pop3Reply::stat(0))
                       .expect("QUIT")
                       .send(Pop3Reply::ok("bye")));
    QVERIFY2(peer.listen(995), qPrintable(peer.errorString()));
    const QString home = makeHome(995);

    const Result trusted = runTrust({"--trust", "localhost:995"}, home, "yes");
    QCOMPARE(trusted.exitCode, 0);
    const QFileInfo file(trustedFile(home));
    QVERIFY(file.exists());
    QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                   QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
             QFile::Permissions());

    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    CheckCliIo io;
    io.out = &outStream;
    io.err = &errStream;
    const int exitCode = runCheckCli({}, home, io);
    errStream.flush();
    QVERIFY2(peer.waitUntilDone(5000), qPrintable(peer.report() + '\n' + err));
    QCOMPARE(exitCode, 0);
    QVERIFY2(peer.commands().contains("USER bob"), qPrintable(peer.report()));
}

QTEST_GUILESS_MAIN(TestCheckCliTrust)
#include "test_check_cli_trust.moc"
