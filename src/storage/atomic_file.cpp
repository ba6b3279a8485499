#include "storage/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// A save killed between naming its temporary file and moving it over the
// data file leaves "<name>.XXXXXX" behind; the next good save clears them.
void removeLeftoverTemporaries(const QString& path)
{
    const QFileInfo target(path);
    const QRegularExpression leftover(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(target.fileName()) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
    QDir folder = target.dir();
    const QStringList candidates = folder.entryList({target.fileName() + QStringLiteral(".??????")},
                                                    QDir::Files | QDir::Hidden);
    for (const QString& name : candidates) {
        if (leftover.match(name).hasMatch())
            folder.remove(name);
    }
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
    // An abandoned QSaveFile removes its temporary file when it goes.
    if (!ownerOnly || file.write(bytes) != bytes.size()) {
        setError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    // commit() in Qt 6.4 does not notice a failed final flush (a full disk,
    // a file-size limit) and would replace the old file with a cut one.
    if (!file.flush() || file.size() != bytes.size()) {
        setError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    removeLeftoverTemporaries(path);
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
