#include "storage/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

QByteArray toAnsi(const QString& text)
{
    QStringEncoder encoder("windows-1252");
    QByteArray bytes = encoder.encode(text);
    return bytes;
}

QString fromAnsi(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-1252");
    QString text = decoder.decode(bytes);
    return text;
}

QByteArray toFixedField(const QString& text, int width)
{
    QByteArray bytes = toAnsi(text).left(width);
    if (bytes.size() < width)
        bytes.append(QByteArray(width - bytes.size(), ' '));
    return bytes;
}
