#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file with the given bytes only once they are all written:
// a failure (or a crash part-way) leaves the previous file as it was. The
// data files hold passwords in a reversible form, so the file is made
// readable and writable by its owner only. A link at the path is replaced
// by the file, never written through.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Reads at most maxBytes from the start of the file, never past its end.
// Anything but a regular file (a FIFO, a device) is refused unopened.
bool readFileHead(const QString& path, qint64 maxBytes, QByteArray& out, QString* error = nullptr);
