#include "storage/settings_file.h"

#include "storage/atomic_file.h"

bool readSettingsFile(const QString& path, SettingsRecord& out, QString* error)
{
    QByteArray bytes;
    if (!readFileHead(path, SettingsRecord::Size, bytes, error))
        return false;
    SettingsRecord record;
    if (!record.decode(bytes)) {
        if (error)
            *error = QStringLiteral("settings file holds %1 of %2 bytes")
                         .arg(bytes.size())
                         .arg(SettingsRecord::Size);
        return false;
    }
    out = record;
    return true;
}

bool writeSettingsFile(const QString& path, const SettingsRecord& record, QString* error)
{
    return writeFileAtomically(path, record.encode(), error);
}
