#include "platform/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr const char* codePageName = "windows-1252";

// One code point (a surrogate pair counts as one) becomes one byte; what the
// code page cannot hold becomes "?", never the converter's own substitute
// (SUB, 0x1A). Surrogates never reach the converter: none of those code
// points is in the code page, and a lone one would upset its state. The
// converter's error flag is sticky, so each result is judged by its byte.
QByteArray encodeByCodePoint(const QString& text)
{
    QStringEncoder encoder(codePageName);
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isSurrogate()) {
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ++i;
            bytes.append('?');
            continue;
        }
        const QByteArray one = encoder.encode(QStringView(&c, 1));
        const bool substituted = one == "\x1a" && c != QChar(0x1a);
        bytes.append(one.size() == 1 && !substituted ? one.at(0) : '?');
    }
    return bytes;
}

} // namespace

QByteArray toAnsi(const QString& text)
{
    QStringEncoder encoder(codePageName);
    if (!encoder.isValid())
        return text.toLatin1();
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError())
        return bytes;
    return encodeByCodePoint(text);
}

QString fromAnsi(const QByteArray& bytes)
{
    QStringDecoder decoder(codePageName);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray toFixedField(const QString& text, int width)
{
    QByteArray bytes = toAnsi(text).left(width);
    if (bytes.size() < width)
        bytes.append(QByteArray(width - bytes.size(), ' '));
    return bytes;
}
