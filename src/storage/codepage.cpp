#include "storage/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr const char* codePageName = "windows-1252";

// One code point (a surrogate pair counts as one) becomes one byte; what the
// code page cannot hold becomes "?", never the converter's own substitute.
QByteArray encodeByCodePoint(const QString& text)
{
    QStringEncoder encoder(codePageName);
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype length = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            length = 2;
        const QByteArray one = encoder.encode(QStringView(text).mid(i, length));
        if (encoder.hasError() || one.size() != 1) {
            bytes.append('?');
            encoder.resetState();
        } else {
            bytes.append(one);
        }
        i += length - 1;
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
