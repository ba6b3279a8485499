// Sign-in with AUTH: SCRAM-SHA-256, OAUTHBEARER or XOAUTH2. Only over an
// encrypted connection, only with a mechanism CAPA lists, and never a
// fall-back to USER/PASS: any doubt ends the session with the reason logged.
#include "pop3/pop3_session.h"
#include "pop3/sasl_auth.h"

namespace {

QByteArray lineWithoutEnd(const QByteArray& line)
{
    return line.endsWith("\r\n") ? line.chopped(2) : line;
}

QString replyTextOf(const QByteArray& line)
{
    return Pop3Session::serverText(lineWithoutEnd(line));
}

} // namespace

void Pop3Session::onCapaRefused(const QByteArray& line)
{
    // A server without CAPA is used as before; an AUTH account learns
    // from it that its mechanisms are unknown.
    m_capabilities.answered = false;
    m_capabilities.refusal = replyTextOf(line);
    logOn();
}

void Pop3Session::refuseSignIn(const SessionReport& report)
{
    m_host.report(report);
    end(SessionEnd::SignInAbandoned);
}

void Pop3Session::signInWithAuth()
{
    m_auth.afterContinuation.reset();
    m_auth.abandoning = false;
    // The connection is checked first: over a plain one nothing of the
    // exchange is sent, not even a mechanism's name.
    if (!m_host.connectionEncrypted()) {
        refuseSignIn({SessionNote::AuthNeedsTls, {}});
        return;
    }
    if (!m_capabilities.answered) {
        refuseSignIn({SessionNote::AuthCapaRefused, m_capabilities.refusal});
        return;
    }
    QByteArray mechanism;
    QByteArray response;
    if (!openAuthExchange(&mechanism, &response))
        return;
    const SaslOpening opening = saslOpening(mechanism, response);
    m_auth.afterContinuation = opening.afterContinuation;
    send(SessionState::SentAuth, QString::fromLatin1(opening.command));
}

// The mechanism and its initial response; false when the session ended.
bool Pop3Session::openAuthExchange(QByteArray* mechanism, QByteArray* response)
{
    const QList<QByteArray>& offered = m_capabilities.saslMechanisms;
    const QString offeredText = saslPrintable(offered.join(' '), 200);
    if (m_ctx.signInMethod == SignInMethod::Scram) {
        *mechanism = ScramClient::mechanism();
        if (!offered.contains(*mechanism)) {
            refuseSignIn(
                {SessionNote::AuthNotOffered, offeredText, 0, QString::fromLatin1(*mechanism)});
            return false;
        }
        const SaslStep first = m_auth.scram.start(m_ctx.userName, m_ctx.password);
        if (first.verdict != SaslVerdict::Continue) {
            refuseSignIn({SessionNote::AuthFailed, {}, 0, first.reason});
            return false;
        }
        *response = first.line;
        return true;
    }
    // OAUTHBEARER is the standard one; XOAUTH2 for servers that know only it.
    if (offered.contains(oauthMechanismName(OAuthMechanism::OAuthBearer))) {
        m_auth.oauth = OAuthMechanism::OAuthBearer;
    } else if (offered.contains(oauthMechanismName(OAuthMechanism::XOAuth2))) {
        m_auth.oauth = OAuthMechanism::XOAuth2;
    } else {
        refuseSignIn({SessionNote::AuthNotOffered, offeredText, 0,
                      QStringLiteral("OAUTHBEARER Or XOAUTH2")});
        return false;
    }
    *mechanism = oauthMechanismName(m_auth.oauth);
    const OAuthInitialResponse initial =
        oauthInitialResponse(m_auth.oauth, m_ctx.userName, m_ctx.password, m_ctx.serverName,
                             m_ctx.portText.trimmed().toUShort());
    if (!initial.error.isEmpty()) {
        refuseSignIn({SessionNote::AuthFailed, {}, 0, initial.error});
        return false;
    }
    *response = initial.line;
    return true;
}

void Pop3Session::onAuthPositive(const QByteArray& line)
{
    if (m_auth.abandoning) {
        end(SessionEnd::SignInAbandoned); // even "+OK": the sign-in was given up
        return;
    }
    const std::optional<QByteArray> payload = saslContinuationPayload(lineWithoutEnd(line));
    if (!payload) {
        // "+OK": signed in, but a SCRAM server must have proved itself first.
        if (m_ctx.signInMethod == SignInMethod::Scram && !m_auth.scram.isServerVerified()) {
            refuseSignIn({SessionNote::ScramUnverified, replyTextOf(line)});
            return;
        }
        note(SessionNote::ServerReply, replyTextOf(line));
        send(SessionState::SentStat, QStringLiteral("STAT"));
        return;
    }
    if (m_auth.afterContinuation) {
        const QByteArray response = *m_auth.afterContinuation;
        m_auth.afterContinuation.reset();
        send(SessionState::SentAuth, QString::fromLatin1(response));
        return;
    }
    if (m_ctx.signInMethod == SignInMethod::Scram) {
        const SaslStep next = m_auth.scram.step(*payload);
        if (next.verdict == SaslVerdict::Failed) {
            abandonAuth(next.reason, saslCancelLine());
            return;
        }
        send(SessionState::SentAuth, QString::fromLatin1(next.line));
        return;
    }
    // A challenge after the token is the server's error report.
    abandonAuth(describeOAuthError(parseOAuthErrorChallenge(*payload)),
                oauthErrorAcknowledgement(m_auth.oauth));
}

void Pop3Session::abandonAuth(const QString& why, const QByteArray& lastLine)
{
    m_host.report({SessionNote::AuthFailed, {}, 0, why});
    m_auth.abandoning = true;
    // The server ends the exchange with "-ERR" to this line.
    send(SessionState::SentAuth, QString::fromLatin1(lastLine));
}

void Pop3Session::onAuthError(const QByteArray& line)
{
    if (m_auth.abandoning) {
        end(SessionEnd::SignInAbandoned); // the log already says why
        return;
    }
    note(SessionNote::AuthRefused, replyTextOf(line));
    end(SessionEnd::ErrorReplyLogged);
}
