#pragma once

#include "support/servers_tls_cert.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class QProcess;

// From, Subject and Date of generated message i (1-based), as written in
// its headers; tests compare the client's list against these.
struct GeneratedMail
{
    QString from;
    QString subject;
    QString date;
    static GeneratedMail number(int i);
};

// A private Dovecot POP3 server on 127.0.0.1, configured and run from a
// temporary folder: one plain and one TLS port, passwd-file users with
// plain passwords (APOP works), Maildir mailboxes written by the test.
// The TLS port and STLS present the Trusted test certificate (signed by
// the test CA that ctest installs into the system trust store). Without
// the test CA's files the server runs without TLS, so programs that only
// need the plain port work anywhere.
//
//   DovecotFixture dovecot;
//   dovecot.addUser("alice", "secret1");
//   dovecot.writeGeneratedMessages("alice", 3);
//   QVERIFY2(dovecot.start(), qPrintable(dovecot.errorString()));
//
// Messages may be written or removed at any time: Dovecot reads the
// Maildir again at each log-on.
class DovecotFixture
{
public:
    DovecotFixture();
    ~DovecotFixture();
    DovecotFixture(const DovecotFixture&) = delete;
    DovecotFixture& operator=(const DovecotFixture&) = delete;

    // Empty when Dovecot is not installed.
    static QString dovecotBinary();

    // Before start(); a later call takes effect at the next start().
    void addUser(const QString& name, const QString& password);

    // Before start(): serve TLS on this port instead of a free one, e.g.
    // 995, the port on which the client speaks TLS (needs root).
    void setTlsPort(quint16 port) { m_fixedTlsPort = port; }
    // Before start(): the certificate the TLS port and STLS present.
    void setCertificate(TestCertificate which)
    {
        m_certificate = which;
        m_certificateChosen = true;
    }
    // Before start(): "ssl = required", and the plain port also listens on
    // remoteAddress(). Dovecot counts a client whose address equals the
    // server's as secure; one that connects to remoteAddress() arrives
    // from 127.0.0.1 and so is remote: CAPA lists STLS and log-ons are
    // refused until STLS. On 127.0.0.1 everything works as without TLS.
    void setSslRequired(bool required) { m_sslRequired = required; }
    // Before start(): no TLS at all, whatever certificates lie about. The
    // demo runs on machines whose trust store lacks the test CA; a server
    // offering STLS there would fail every session.
    void setPlainOnly() { m_plainOnly = true; }
    // Before start(): sign-in mechanisms offered beside plain, login and
    // apop, e.g. "scram-sha-256" (it works from the plain passwd-file
    // entries).
    void setExtraMechanisms(const QString& names) { m_extraMechanisms = names; }
    // Before start(): XOAUTH2 and OAUTHBEARER, each token checked by a POST
    // of "token=..." to this URL, which answers with JSON
    // {"active": true, "username": "..."} for a good one.
    void setOAuthIntrospectionUrl(const QString& url) { m_oauthIntrospectionUrl = url; }
    static QString remoteAddress() { return QStringLiteral("127.0.0.2"); }

    // Waits until the plain port greets with "+OK". False with
    // errorString() (and the server's log) on failure.
    bool start();
    void stop();
    bool isRunning() const;
    QString errorString() const { return m_error; }

    quint16 plainPort() const { return m_plainPort; }
    // 0 when the server runs without TLS (the test CA's files are missing).
    quint16 tlsPort() const;
    // The test CA; clients with the default configuration already trust it.
    static QSslCertificate caCertificate();
    QString logText() const;

    QString maildirPath(const QString& user) const;
    // A whole message; LF or CR LF line ends (stored with LF, as Dovecot
    // keeps them). Returns the file's path.
    QString writeMessage(const QString& user, const QByteArray& raw);
    QString writeMessage(const QString& user, const QList<QByteArray>& headerLines,
                         const QByteArray& body);
    // Messages first .. first + count - 1, each GeneratedMail::number(i) with
    // a short body; they are listed by the server in that order.
    bool writeGeneratedMessages(const QString& user, int count, int first = 1);
    QStringList messageFiles(const QString& user) const;
    void removeAllMessages(const QString& user);

private:
    bool prepareFolders();
    bool writeConfig();
    bool waitForGreeting(int timeoutMs);
    QString deliver(const QString& user, const QByteArray& lfText);

    QTemporaryDir m_dir;
    QList<QPair<QString, QString>> m_users;
    std::unique_ptr<QProcess> m_process;
    qint64 m_pid = 0;
    quint16 m_plainPort = 0;
    quint16 m_tlsPort = 0;
    quint16 m_fixedTlsPort = 0;
    TestCertificate m_certificate = TestCertificate::Trusted;
    bool m_certificateChosen = false;
    bool m_sslRequired = false;
    bool m_plainOnly = false;
    QString m_extraMechanisms;
    QString m_oauthIntrospectionUrl;
    QString m_tlsOff; // why the server runs without TLS; empty when it serves TLS
    int m_serial = 0;
    QString m_error;
};
