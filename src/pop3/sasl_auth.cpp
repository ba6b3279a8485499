#include "pop3/sasl_auth.h"

namespace {

constexpr qsizetype maxCommandLine = 255; // octets, CR LF included

} // namespace

SaslOpening saslOpening(QByteArrayView mechanism, const QByteArray& initialResponse)
{
    QByteArray bare = QByteArrayLiteral("AUTH ") + mechanism.toByteArray();
    const QByteArray response =
        initialResponse.isEmpty() ? QByteArrayLiteral("=") : initialResponse;
    const QByteArray whole = bare + ' ' + response;
    if (whole.size() + 2 <= maxCommandLine)
        return {whole, std::nullopt};
    return {bare, initialResponse};
}

std::optional<QByteArray> saslContinuationPayload(QByteArrayView line)
{
    if (line == "+")
        return QByteArray();
    if (line.startsWith("+ "))
        return line.sliced(2).trimmed().toByteArray();
    return std::nullopt;
}

QString saslPrintable(QByteArrayView text, qsizetype maxLength)
{
    QString out;
    for (const char c : text) {
        if (out.size() >= maxLength) {
            out += QStringLiteral("...");
            break;
        }
        out += (c >= 0x20 && c < 0x7f) ? QChar::fromLatin1(c) : QChar(u'?');
    }
    return out;
}
