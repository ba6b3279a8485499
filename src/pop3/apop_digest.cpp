#include "pop3/apop_digest.h"

#include "platform/codepage.h"

#include <QCryptographicHash>

QString apopDigest(const QString& text)
{
    const QByteArray digest = QCryptographicHash::hash(toAnsi(text), QCryptographicHash::Md5);
    return QString::fromLatin1(digest.toHex()).toLower();
}
