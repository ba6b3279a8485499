#include "pop3/sasl_scram.h"

#include <gsasl.h>

struct ScramClient::Library
{
    Gsasl* context = nullptr;
    Gsasl_session* session = nullptr;
    int initStatus = GSASL_OK;

    Library() { initStatus = gsasl_init(&context); }
    ~Library()
    {
        if (session)
            gsasl_finish(session);
        if (context)
            gsasl_done(context);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

namespace {

QString libraryError(int status)
{
    return QString::fromLatin1(gsasl_strerror(status));
}

// One gsasl_step; the output is copied and the library's buffer freed.
int runStep(Gsasl_session* session, const QByteArray& input, QByteArray* output)
{
    char* out = nullptr;
    size_t outLength = 0;
    const int status =
        gsasl_step(session, input.constData(), size_t(input.size()), &out, &outLength);
    if (out) {
        *output = QByteArray(out, qsizetype(outLength));
        gsasl_free(out);
    }
    return status;
}

} // namespace

ScramClient::ScramClient() = default;
ScramClient::~ScramClient() = default;

void ScramClient::dropSession()
{
    if (m_library && m_library->session) {
        gsasl_finish(m_library->session);
        m_library->session = nullptr;
    }
}

SaslStep ScramClient::fail(const QString& reason, bool inExchange)
{
    dropSession();
    m_round = Round::Failed;
    return {SaslVerdict::Failed, inExchange ? saslCancelLine() : QByteArray(), reason};
}

SaslStep ScramClient::start(const QString& user, const QString& password)
{
    if (!m_library)
        m_library = std::make_unique<Library>();
    dropSession();
    if (m_library->initStatus != GSASL_OK)
        return fail(QStringLiteral("the SASL library did not start: %1")
                        .arg(libraryError(m_library->initStatus)),
                    false);
    const QByteArray name = mechanism();
    if (!gsasl_client_support_p(m_library->context, name.constData()))
        return fail(QStringLiteral("the SASL library cannot do SCRAM-SHA-256"), false);
    int status = gsasl_client_start(m_library->context, name.constData(), &m_library->session);
    if (status != GSASL_OK)
        return fail(QStringLiteral("SCRAM-SHA-256 did not start: %1").arg(libraryError(status)),
                    false);
    // Set before the first step, so the library never needs a callback.
    gsasl_property_set(m_library->session, GSASL_AUTHID, user.toUtf8().constData());
    gsasl_property_set(m_library->session, GSASL_PASSWORD, password.toUtf8().constData());
    QByteArray first;
    status = runStep(m_library->session, QByteArray(), &first);
    if (status != GSASL_NEEDS_MORE)
        return fail(QStringLiteral("SCRAM-SHA-256 could not begin: %1").arg(libraryError(status)),
                    false);
    m_round = Round::AwaitFirst;
    return {SaslVerdict::Continue, first.toBase64(), {}};
}

SaslStep ScramClient::step(const QByteArray& serverPayload)
{
    if (m_round != Round::AwaitFirst && m_round != Round::AwaitFinal)
        return {SaslVerdict::Failed, saslCancelLine(),
                QStringLiteral("a SCRAM message came with no exchange under way")};
    const auto decoded =
        QByteArray::fromBase64Encoding(serverPayload, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return fail(QStringLiteral("the server's SCRAM message is not base64: \"%1\"")
                        .arg(saslPrintable(serverPayload, 60)),
                    true);
    const QByteArray& message = decoded.decoded;
    // RFC 5802's server-error attribute: say what the server said.
    if (message.startsWith("e="))
        return fail(QStringLiteral("the server refused the sign-in: %1")
                        .arg(saslPrintable(QByteArrayView(message).sliced(2))),
                    true);
    QByteArray reply;
    const int status = runStep(m_library->session, message, &reply);
    if (m_round == Round::AwaitFirst) {
        if (status != GSASL_NEEDS_MORE)
            return fail(QStringLiteral("the server's first SCRAM message was refused: %1")
                            .arg(libraryError(status)),
                        true);
        m_round = Round::AwaitFinal;
        return {SaslVerdict::Continue, reply.toBase64(), {}};
    }
    if (status != GSASL_OK) {
        const QString why = status == GSASL_AUTHENTICATION_ERROR
                                ? QStringLiteral("the server's signature is wrong: it has not "
                                                 "proved that it knows the password")
                                : libraryError(status);
        return fail(QStringLiteral("SCRAM-SHA-256 failed: %1").arg(why), true);
    }
    dropSession();
    m_round = Round::Verified;
    return {SaslVerdict::Done, reply.toBase64(), {}};
}
