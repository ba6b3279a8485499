#pragma once

#include "pop3/sasl_auth.h"

#include <QByteArray>
#include <QString>
#include <memory>

// The client side of SCRAM-SHA-256 (RFC 7677, RFC 5802) as POP3's AUTH
// carries it. GNU SASL does the arithmetic; the lines travel on our socket.
//
//   ScramClient scram;
//   SaslStep s = scram.start(user, password);   // client-first, base64
//   send saslOpening(ScramClient::mechanism(), s.line)
//   on "+ X":  s = scram.step(X)  -> Continue: client-final
//   on "+ Y":  s = scram.step(Y)  -> Done: send the empty line, expect "+OK"
//                                 -> Failed: send "*", the server is not trusted
//
// A "+OK" is a successful sign-in only after Done: the server proved that it
// knows the password (its signature "v=" matched). A server that answers the
// client-final with "+OK" straight away has proved nothing, and
// isServerVerified() stays false.
class ScramClient
{
public:
    ScramClient();
    ~ScramClient();
    ScramClient(const ScramClient&) = delete;
    ScramClient& operator=(const ScramClient&) = delete;

    static QByteArray mechanism() { return QByteArrayLiteral("SCRAM-SHA-256"); }

    // Begins a new exchange (any earlier one is dropped): Continue with the
    // client-first message, or Failed when the library cannot do SCRAM.
    SaslStep start(const QString& user, const QString& password);
    // Feeds the base64 payload of the server's continuation.
    SaslStep step(const QByteArray& serverPayload);

    bool isServerVerified() const { return m_round == Round::Verified; }

private:
    enum class Round { Idle, AwaitFirst, AwaitFinal, Verified, Failed };
    SaslStep fail(const QString& reason, bool inExchange);
    void dropSession();

    struct Library;
    std::unique_ptr<Library> m_library;
    Round m_round = Round::Idle;
};
