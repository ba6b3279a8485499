#include "storage/atomic_file.h"

#include <QFile>
#include <QSaveFile>

namespace {

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    // Set on the temporary file before it takes the name, so the data is
    // never visible to others, not even for a moment.
    const bool ownerOnly = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!ownerOnly || file.write(bytes) != bytes.size()) {
        setError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

bool readFileHead(const QString& path, qint64 maxBytes, QByteArray& out, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, file.errorString());
        return false;
    }
    out = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}
