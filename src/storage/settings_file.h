#pragma once

#include "storage/settings_record.h"

#include <QString>

// Reads the settings record from the first SettingsRecord::Size bytes of the
// file. A shorter file is a read failure (out untouched); bytes after the
// record are ignored.
bool readSettingsFile(const QString& path, SettingsRecord& out, QString* error = nullptr);

// Writes the record as the whole file, atomically and owner-only; a failure
// leaves the previous file intact.
bool writeSettingsFile(const QString& path, const SettingsRecord& record, QString* error = nullptr);
