#pragma once

#include "storage/settings_record.h"

#include <QString>

inline const QString SettingsFileName = QStringLiteral("quorvamel.ini");

// Reads the settings record from the first SettingsRecord::Size bytes of the
// file; bytes after the record are ignored. A shorter file reads its missing
// bytes as zeros. A file that cannot be read, or is no regular file, is a
// failure (out untouched).
bool readSettingsFile(const QString& path, SettingsRecord& out, QString* error = nullptr);

// Writes the record as the whole file, atomically and owner-only; a failure
// leaves the previous file intact.
bool writeSettingsFile(const QString& path, const SettingsRecord& record, QString* error = nullptr);
