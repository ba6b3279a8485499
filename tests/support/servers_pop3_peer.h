#pragma once

#include "support/servers_tls_cert.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QStringList>
#include <functional>
#include <memory>

class QSslConfiguration;
class QTcpServer;
class PeerConnection;

// One conversation the scripted peer plays on one connection: the commands
// it expects from the client, in order, and what it sends in between.
class Pop3Script
{
public:
    struct Step
    {
        enum Kind {
            Expect,
            ExpectMatch,
            Send,
            Pause,
            Silence,
            Endless,
            Close,
            ClientCloses,
            StartTls,
            HoldReading,
            Answer
        };
        Kind kind = Send;
        QString line;             // Expect: the exact command without CR LF
        QRegularExpression match; // ExpectMatch, Answer
        // Answer: the reply to the line the client sent, made when it came.
        std::function<QByteArray(const QString&)> respond;
        QList<QByteArray> chunks; // Send: one arrival each
        int delayMs =
            0; // Send: pause before each chunk after the first; Pause, HoldReading: length
        QByteArray unit;        // Endless: repeated after the first chunk
        int bytesPerSecond = 0; // Endless: rate bound
        QString label;          // how the transcript names a Send that is not text
    };

    // The client must send exactly this line (CR LF is checked apart).
    Pop3Script& expect(const QString& line);
    // The client must send a line matching this pattern (anchor it yourself).
    Pop3Script& expectMatch(const QString& pattern);
    // The client must send a line matching this pattern; the peer sends what
    // respond makes of that line (e.g. a SASL server's next challenge).
    Pop3Script& answer(const QString& pattern,
                       const std::function<QByteArray(const QString& line)>& respond);
    // Sent in one write.
    Pop3Script& send(const QByteArray& bytes);
    // Each chunk is written on its own, delayMs apart, so the client sees
    // each as a separate arrival.
    Pop3Script& sendChunks(const QList<QByteArray>& chunks, int delayMs = 30);
    // The bytes cut before the given offsets, e.g. {5, 12}: three arrivals.
    Pop3Script& sendSplit(const QByteArray& bytes, const QList<int>& cutOffsets, int delayMs = 30);
    // One byte per arrival.
    Pop3Script& sendBytewise(const QByteArray& bytes, int delayMs = 5);
    // One byte every msPerByte milliseconds (a slow server).
    Pop3Script& drip(const QByteArray& bytes, int msPerByte);
    // `size` pseudo-random bytes (NULs included) from `seed`; the first byte
    // is neither "+" nor "-", so the client cannot take it for a status.
    Pop3Script& sendGarbage(int size, quint32 seed = 1);
    Pop3Script& pause(int ms);
    // Reads nothing for ms milliseconds (the socket's buffer shrinks to a
    // byte, so what the client sends backs up into the kernel's buffers),
    // then reads on and goes on with the script.
    Pop3Script& holdReading(int ms);
    // Never answer again; the connection stays open until the client ends it.
    Pop3Script& silence();
    // `first`, then `unit` over and over at about bytesPerSecond, written
    // only as fast as the client reads, until the client closes.
    Pop3Script& endless(const QByteArray& first, const QByteArray& unit,
                        int bytesPerSecond = 16 << 20);
    // The peer closes the connection after everything before it was sent.
    Pop3Script& close();
    // The client must close the connection now, sending nothing more.
    Pop3Script& expectClientClose();
    // STLS: once everything before it was sent, the peer starts server-side
    // TLS on this connection with its certificate and the script goes on
    // encrypted, e.g. .expect("STLS").send(Pop3Reply::ok("Begin TLS")).startTls().
    // A failed handshake is counted (tlsHandshakeFailures()) and ends the
    // connection: a later expectClientClose() is met, a later expect() fails.
    Pop3Script& startTls();
    // Commands after the end of the script (or during silence / an endless
    // reply) are recorded instead of failing the test.
    Pop3Script& tolerateExtraCommands();

    const QList<Step>& steps() const { return m_steps; }
    bool toleratesExtraCommands() const { return m_tolerant; }

private:
    QList<Step> m_steps;
    bool m_tolerant = false;
};

// Replies a server would send, with the CR LF line ends and dot-stuffing
// of a real one.
namespace Pop3Reply {
QByteArray ok(const QByteArray& text = QByteArray());
QByteArray err(const QByteArray& text = QByteArray());
// "+OK <text> <timestamp>"; the default timestamp is the classic example.
QByteArray greeting(const QByteArray& timestamp = "<1896.697170952@dbc.mtview.ca.us>",
                    const QByteArray& text = "POP3 server ready");
// Without octets, 100 a message: a count its size cannot hold is a lie
// the client refuses.
QByteArray stat(int count, qint64 octets = -1);
// "+OK <status>", every line dot-stuffed and ended with CR LF, then ".".
QByteArray multiLine(const QList<QByteArray>& lines, const QByteArray& status = "");
// A TOP n 2 reply: header lines, a blank line, the body lines.
QByteArray top(const QList<QByteArray>& headerLines,
               const QList<QByteArray>& bodyLines = {"Hello.", "Second line."});
// Header lines of a simple mail.
QList<QByteArray> headers(const QByteArray& from, const QByteArray& subject,
                          const QByteArray& date);
} // namespace Pop3Reply

// A POP3 server on 127.0.0.1 that plays one script per connection, in the
// order of the connections, records a transcript ("C: USER bob",
// "S: +OK ...") and collects every deviation from the scripts.
//
// CAPA: a client may ask for the capabilities of any server, so the peer
// plays an old server that does not know the command when the script does
// not expect it: a "CAPA" arriving where the next step expects another
// command is answered "-ERR unknown command" by the peer itself, recorded
// in the transcript and in commands() like any command, and the script goes
// on unchanged. A script that wants CAPA answered says so:
//   .expect("CAPA").send(Pop3Reply::multiLine({"STLS", "UTF8", "USER"}))
// A CAPA after the end of the script, or where the client should close,
// is a deviation as any other command is.
//
// TLS: Transport::Tls speaks TLS from the first byte; the startTls() step
// upgrades a plain connection. Both present the Trusted test certificate
// unless setCertificate() chose another; clients trust it through the
// system trust store (see servers_tls_cert.h).
//
//   ScriptedPop3Peer peer;
//   peer.addScript(Pop3Script().send(Pop3Reply::ok("hi")).expect("USER bob")...);
//   QVERIFY2(peer.listen(), qPrintable(peer.errorString()));
//   ... run the client against peer.port() ...
//   QVERIFY_PEER_DONE(peer, 5000);
class ScriptedPop3Peer : public QObject
{
    Q_OBJECT
public:
    enum class Transport { Plain, Tls };
    explicit ScriptedPop3Peer(Transport transport = Transport::Plain, QObject* parent = nullptr);
    ~ScriptedPop3Peer() override;

    void addScript(const Pop3Script& script);
    // Before listen(): the certificate of the TLS transport and of STLS.
    void setCertificate(TestCertificate which) { m_certificate = which; }
    // Port 0 picks a free one.
    bool listen(quint16 port = 0);
    quint16 port() const;
    QString errorString() const { return m_error; }
    // The test CA, which signed the Trusted certificate; clients with the
    // default configuration already trust it. Connect to "localhost".
    static QSslCertificate caCertificate();

    // Every queued script was played to its end on its own connection and
    // nothing went wrong. A script ending in silence or an endless reply is
    // at its end once that step began; end a script with
    // expectClientClose() to also wait for (and demand) the client's close.
    bool isDone() const;
    // Processes events until isDone() or a failure, at most timeoutMs.
    bool waitUntilDone(int timeoutMs = 5000);
    QStringList failures() const { return m_failures; }
    QStringList transcript() const { return m_transcript; }
    // Only the client's command lines, in order, over all connections.
    QStringList commands() const { return m_commands; }
    int connectionCount() const { return m_connectionCount; }
    int openConnectionCount() const;
    // Handshakes that failed, on TLS connections and after STLS.
    int tlsHandshakeFailures() const { return m_handshakeFailures; }
    // Bytes written by endless steps, over all connections.
    qint64 endlessBytesSent() const { return m_endlessBytes; }
    // Failures (if any), then the transcript: for QVERIFY2 messages.
    QString report() const;

private:
    friend class PeerConnection;
    void acceptPending();
    void recordFailure(const QString& text);
    void record(const QString& line) { m_transcript.append(line); }
    void recordCommand(const QString& line);
    void recordHandshakeFailure(const QString& why);
    QSslConfiguration tlsConfiguration() const;

    Transport m_transport;
    TestCertificate m_certificate = TestCertificate::Trusted;
    QTcpServer* m_server = nullptr;
    QQueue<Pop3Script> m_scripts;
    int m_scriptsQueued = 0;
    int m_connectionCount = 0;
    int m_handshakeFailures = 0;
    qint64 m_endlessBytes = 0;
    QList<QPointer<PeerConnection>> m_connections;
    QStringList m_failures;
    QStringList m_transcript;
    QStringList m_commands;
    QString m_error;
};

#define QVERIFY_PEER_DONE(peer, timeoutMs)                                                         \
    QVERIFY2((peer).waitUntilDone(timeoutMs), qPrintable((peer).report()))
