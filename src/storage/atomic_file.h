#pragma once

#include <QByteArray>
#include <QString>

// How sure a save must be to outlast a power cut.
enum class SaveDurability {
    // On the disk before it replaces the old file.
    Synced,
    // Left to the system's own write-back: for a file whose checksum throws
    // a torn copy away and which can be made again, such as a cache.
    Rebuildable,
};

// Replaces the file with the given bytes only once they are all written:
// a failure (or a crash part-way) leaves the previous file as it was. The
// data files hold passwords in a reversible form, so the file is made
// readable and writable by its owner only. A link at the path is replaced
// by the file, never written through.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                         SaveDurability durability = SaveDurability::Synced);

// Reads at most maxBytes from the start of the file, never past its end.
// Anything but a regular file (a FIFO, a device) is refused unopened.
bool readFileHead(const QString& path, qint64 maxBytes, QByteArray& out, QString* error = nullptr);
