#include "storage/settings_file.h"

#include "storage/atomic_file.h"

bool readSettingsFile(const QString& path, SettingsRecord& out, QString* error)
{
    QByteArray bytes;
    if (!readFileHead(path, SettingsRecord::Size, bytes, error))
        return false;
    // A short file (a short template, a file cut off) is read as far as it
    // goes, the rest as zeros: the load rules then give their defaults, and
    // the next save writes a whole record. Refusing it would block every
    // later start, since the copy at start never replaces an existing file.
    bytes.append(QByteArray(SettingsRecord::Size - bytes.size(), '\0'));
    SettingsRecord record;
    if (!record.decode(bytes)) {
        if (error)
            *error = QStringLiteral("settings record of %1 bytes").arg(bytes.size());
        return false;
    }
    out = record;
    return true;
}

bool writeSettingsFile(const QString& path, const SettingsRecord& record, QString* error)
{
    return writeFileAtomically(path, record.encode(), error);
}
