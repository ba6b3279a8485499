#include "support/servers_dovecot.h"

#include "support/servers_tls_cert.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimeZone>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr int kPortClashExit = 89;

struct MailOwner
{
    uid_t uid = 0;
    gid_t gid = 0;
    bool found = false;
};

MailOwner mailOwner()
{
    MailOwner owner;
    const passwd* user = getpwnam("nobody");
    const group* grp = getgrnam("nogroup");
    if (user && grp) {
        owner.uid = user->pw_uid;
        owner.gid = grp->gr_gid;
        owner.found = true;
    }
    return owner;
}

// The mail processes run as nobody: a Maildir they cannot write makes
// log-ons succeed and STAT silently report 0 messages.
void giveToMailUser(const QString& path)
{
    static const MailOwner owner = mailOwner();
    if (owner.found && ::chown(QFile::encodeName(path).constData(), owner.uid, owner.gid) != 0)
        qWarning("cannot chown %s", qPrintable(path));
}

bool makeMailFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        return false;
    giveToMailUser(path);
    return true;
}

// Two distinct free ports on the loopback address.
QPair<quint16, quint16> freePorts()
{
    QTcpServer first;
    QTcpServer second;
    first.listen(QHostAddress::LocalHost, 0);
    second.listen(QHostAddress::LocalHost, 0);
    return {first.serverPort(), second.serverPort()};
}

bool writeFile(const QString& path, const QByteArray& bytes, QFile::Permissions permissions)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return file.setPermissions(permissions);
}

} // namespace

GeneratedMail GeneratedMail::number(int i)
{
    const QDateTime base(QDate(2024, 1, 1), QTime(0, 0), QTimeZone::utc());
    GeneratedMail mail;
    mail.from = QStringLiteral("Sender %1 <sender%1@example.com>").arg(i);
    mail.subject = QStringLiteral("Generated message %1").arg(i);
    mail.date = QLocale::c().toString(base.addSecs(qint64(i) * 60),
                                      QStringLiteral("ddd, dd MMM yyyy hh:mm:ss")) +
                QStringLiteral(" +0000");
    return mail;
}

DovecotFixture::DovecotFixture()
{
    // For a look at the configuration, mailboxes and log after a failure.
    if (qEnvironmentVariableIsSet("QUORVAMEL_KEEP_DOVECOT")) {
        m_dir.setAutoRemove(false);
        qInfo("Dovecot fixture folder kept: %s", qPrintable(m_dir.path()));
    }
    // Unprivileged Dovecot processes must reach the files below.
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                            QFile::ExeOther);
}

DovecotFixture::~DovecotFixture()
{
    stop();
}

QString DovecotFixture::dovecotBinary()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("dovecot"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(
            QStringLiteral("dovecot"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return found;
}

QSslCertificate DovecotFixture::caCertificate()
{
    return testCaCertificate();
}

quint16 DovecotFixture::tlsPort() const
{
    if (!m_tlsOff.isEmpty())
        qWarning("Dovecot fixture: no TLS port: %s", qPrintable(m_tlsOff));
    return m_tlsPort;
}

void DovecotFixture::addUser(const QString& name, const QString& password)
{
    m_users.append({name, password});
    makeMailFolder(m_dir.filePath(QStringLiteral("home/") + name));
    makeMailFolder(maildirPath(name));
    for (const char* sub : {"cur", "new", "tmp"})
        makeMailFolder(maildirPath(name) + QLatin1Char('/') + QLatin1String(sub));
}

QString DovecotFixture::maildirPath(const QString& user) const
{
    return m_dir.filePath(QStringLiteral("home/%1/Maildir").arg(user));
}

QString DovecotFixture::logText() const
{
    QFile log(m_dir.filePath(QStringLiteral("log/dovecot.log")));
    QString text = log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    if (m_process)
        text += QString::fromLocal8Bit(m_process->readAll());
    return text;
}

bool DovecotFixture::prepareFolders()
{
    // A stale penalty socket in base_dir stalls log-ons for seconds.
    QDir run(m_dir.filePath(QStringLiteral("run")));
    run.removeRecursively();
    for (const char* sub : {"run", "state", "log"})
        if (!QDir().mkpath(m_dir.filePath(QLatin1String(sub))))
            return false;
    QByteArray users;
    for (const auto& [name, password] : m_users)
        users += name.toUtf8() + ":{PLAIN}" + password.toUtf8() + '\n';
    return writeFile(m_dir.filePath(QStringLiteral("users")), users,
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

bool DovecotFixture::writeConfig()
{
    const TestCertificateFiles& cert = testCertificate(m_certificate);
    m_tlsOff.clear();
    if (m_plainOnly) {
        m_tlsOff = QStringLiteral("the server was asked to run without TLS");
        m_tlsPort = 0;
    } else if (!cert.isValid()) {
        // Only a caller that asked for TLS needs the files; the demo and
        // the benchmarks use the plain port.
        if (m_certificateChosen || m_sslRequired || m_fixedTlsPort) {
            m_error = cert.error;
            return false;
        }
        m_tlsOff = cert.error;
        m_tlsPort = 0;
    }
    const bool tls = m_tlsOff.isEmpty();
    const QString dir = m_dir.path();
    QString mechanisms = m_extraMechanisms.isEmpty() ? QString() : u' ' + m_extraMechanisms;
    QString oauthPassdb;
    if (!m_oauthIntrospectionUrl.isEmpty()) {
        // Placed before the passwd-file, which cannot check tokens.
        const QString oauthFile = m_dir.filePath(QStringLiteral("oauth2.conf"));
        const QByteArray oauth =
            "introspection_mode = post\nintrospection_url = " + m_oauthIntrospectionUrl.toUtf8() +
            "\nusername_attribute = username\nactive_attribute = active\n"
            "active_value = true\n";
        if (!writeFile(oauthFile, oauth,
                       QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                           QFile::ReadOther)) {
            m_error = QStringLiteral("cannot write the OAuth2 configuration");
            return false;
        }
        mechanisms += QStringLiteral(" xoauth2 oauthbearer");
        oauthPassdb = QStringLiteral("passdb {\n  driver = oauth2\n  mechanisms = xoauth2 "
                                     "oauthbearer\n  args = %1\n}\n")
                          .arg(oauthFile);
    }
    QString config = QStringLiteral(R"(base_dir = %1/run
state_dir = %1/state
log_path = %1/log/dovecot.log
info_log_path = %1/log/dovecot.log
debug_log_path = %1/log/dovecot.log
listen = %2
protocols = pop3
disable_plaintext_auth = no
auth_mechanisms = plain login apop%3
auth_failure_delay = 0
default_internal_user = nobody
default_internal_group = nogroup
default_login_user = nobody
first_valid_uid = 1
mail_location = maildir:~/Maildir
pop3_no_flag_updates = yes
%4passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u %1/users
}
userdb {
  driver = static
  args = uid=nobody gid=nogroup home=%1/home/%u
}
service anvil {
  chroot =
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
)")
                         .arg(dir,
                              m_sslRequired ? QStringLiteral("127.0.0.1, ") + remoteAddress()
                                            : QStringLiteral("127.0.0.1"),
                              mechanisms, oauthPassdb);
    if (tls)
        config += QStringLiteral(R"(ssl = %1
ssl_cert = <%2
ssl_key = <%3
)")
                      .arg(m_sslRequired ? QStringLiteral("required") : QStringLiteral("yes"),
                           cert.certPath, cert.keyPath);
    else
        config += QStringLiteral("ssl = no\n");
    config += QStringLiteral(R"(service pop3-login {
  chroot =
  inet_listener pop3 {
    port = %1
  }
)")
                  .arg(m_plainPort);
    if (tls)
        config += QStringLiteral(R"(  inet_listener pop3s {
    port = %1
    ssl = yes
  }
)")
                      .arg(m_tlsPort);
    config += QStringLiteral("}\n");
    if (!writeFile(m_dir.filePath(QStringLiteral("dovecot.conf")), config.toUtf8(),
                   QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther)) {
        m_error = QStringLiteral("cannot write the Dovecot configuration");
        return false;
    }
    return true;
}

bool DovecotFixture::start()
{
    stop();
    m_error.clear();
    const QString binary = dovecotBinary();
    if (binary.isEmpty()) {
        m_error = QStringLiteral("the dovecot program is not installed "
                                 "(apt-get install dovecot-core dovecot-pop3d)");
        return false;
    }
    if (!m_dir.isValid() || !prepareFolders()) {
        m_error = QStringLiteral("cannot prepare the Dovecot folder ") + m_dir.path();
        return false;
    }
    // A port taken between choosing and binding ends Dovecot with 89.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::tie(m_plainPort, m_tlsPort) = freePorts();
        if (m_fixedTlsPort)
            m_tlsPort = m_fixedTlsPort;
        if (!writeConfig())
            return false;
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->setChildProcessModifier([] {
            // Its own process group, so stop() reaches every child, and
            // gone with the test program should that die first.
            ::setsid();
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        });
        m_process->start(binary, {QStringLiteral("-F"), QStringLiteral("-c"),
                                  m_dir.filePath(QStringLiteral("dovecot.conf"))});
        if (!m_process->waitForStarted(5000)) {
            m_error = QStringLiteral("cannot run %1: %2").arg(binary, m_process->errorString());
            m_process.reset();
            return false;
        }
        m_pid = m_process->processId();
        if (waitForGreeting(15000))
            return true;
        const bool clash =
            m_process->state() == QProcess::NotRunning && m_process->exitCode() == kPortClashExit;
        const QString log = logText();
        stop();
        if (!clash) {
            m_error = QStringLiteral("Dovecot did not greet on port %1; its log:\n%2")
                          .arg(m_plainPort)
                          .arg(log);
            return false;
        }
    }
    m_error = QStringLiteral("Dovecot found its ports taken three times");
    return false;
}

bool DovecotFixture::waitForGreeting(int timeoutMs)
{
    // A TCP connect alone is not enough: the login process may not be up.
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process->state() == QProcess::NotRunning)
            return false;
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_plainPort);
        if (probe.waitForConnected(500)) {
            while (!probe.canReadLine() && probe.waitForReadyRead(1000)) {
            }
            if (probe.readLine().startsWith("+OK")) {
                probe.write("QUIT\r\n");
                probe.waitForBytesWritten(500);
                return true;
            }
        }
        m_process->waitForFinished(20);
    }
    return false;
}

void DovecotFixture::stop()
{
    if (!m_process)
        return;
    if (m_pid > 0 && m_process->state() != QProcess::NotRunning)
        ::kill(-pid_t(m_pid), SIGKILL);
    m_process->waitForFinished(5000);
    m_process.reset();
    m_pid = 0;
}

bool DovecotFixture::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QString DovecotFixture::deliver(const QString& user, const QByteArray& lfText)
{
    // Size and CR LF size in the name spare Dovecot reading every file at
    // the first STAT; the leading number keeps the server's order the
    // order of writing. The serial goes into the host part as well: Dovecot
    // hashes a name mostly by its last characters, and generated messages
    // of near equal size would share them, making every session on a large
    // box cost a second of the server's time in hash collisions.
    const qint64 size = lfText.size();
    const qint64 wireSize = size + lfText.count('\n');
    const int serial = ++m_serial;
    const QString name = QStringLiteral("%1.M%2P%3.quorvamel%2,S=%4,W=%5:2,")
                             .arg(1600000000 + serial)
                             .arg(serial)
                             .arg(QCoreApplication::applicationPid())
                             .arg(size)
                             .arg(wireSize);
    const QString maildir = maildirPath(user);
    const QString temporary = maildir + QStringLiteral("/tmp/") + name;
    QString final = maildir + QStringLiteral("/cur/") + name;
    if (!writeFile(temporary, lfText, QFile::ReadOwner | QFile::WriteOwner))
        return QString();
    giveToMailUser(temporary);
    if (!QFile::rename(temporary, final))
        return QString();
    return final;
}

QString DovecotFixture::writeMessage(const QString& user, const QByteArray& raw)
{
    QByteArray text = raw;
    text.replace("\r\n", "\n");
    if (!text.endsWith('\n'))
        text += '\n';
    return deliver(user, text);
}

QString DovecotFixture::writeMessage(const QString& user, const QList<QByteArray>& headerLines,
                                     const QByteArray& body)
{
    QByteArray text;
    for (const QByteArray& line : headerLines)
        text += line + '\n';
    return writeMessage(user, text + '\n' + body);
}

bool DovecotFixture::writeGeneratedMessages(const QString& user, int count, int first)
{
    for (int i = first; i < first + count; ++i) {
        const GeneratedMail mail = GeneratedMail::number(i);
        const QList<QByteArray> headers{
            "Return-Path: <sender" + QByteArray::number(i) + "@example.com>",
            "From: " + mail.from.toUtf8(),
            "To: " + user.toUtf8() + "@example.org",
            "Subject: " + mail.subject.toUtf8(),
            "Date: " + mail.date.toUtf8(),
            "Message-ID: <generated." + QByteArray::number(i) + "@example.com>"};
        const QByteArray body = "Hello from sender " + QByteArray::number(i) +
                                ".\n.This line starts with a dot.\n"
                                "Third line, beyond the two that TOP n 2 asks for.\n";
        if (writeMessage(user, headers, body).isEmpty())
            return false;
    }
    return true;
}

QStringList DovecotFixture::messageFiles(const QString& user) const
{
    QStringList files;
    for (const char* sub : {"/cur", "/new"}) {
        const QDir dir(maildirPath(user) + QLatin1String(sub));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            files.append(dir.filePath(name));
    }
    return files;
}

// NOLINTNEXTLINE(readability-make-member-function-const): it empties the mailbox it owns
void DovecotFixture::removeAllMessages(const QString& user)
{
    for (const QString& path : messageFiles(user))
        QFile::remove(path);
}
