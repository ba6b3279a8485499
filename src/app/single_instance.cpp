#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>

SingleInstanceGuard::SingleInstanceGuard(const QString& homeFolder)
{
    const QByteArray key =
        QCryptographicHash::hash(QDir(homeFolder).absolutePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    m_lock = std::make_unique<QLockFile>(QDir::tempPath() + "/quorvamel-" + key + ".lock");
    m_lock->setStaleLockTime(0);
    m_locked = m_lock->tryLock(0);
}
