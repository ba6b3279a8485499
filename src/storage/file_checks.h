#pragma once

#include <QFile>
#include <QString>

// Looks at a data file's path without opening it: a FIFO in its place would
// block every open, and a device could be read without end.

// What stands at a path. A link counts as what it points to; a link that
// points nowhere counts as missing.
enum class PathKind { Missing, RegularFile, Other };

PathKind pathKind(const QString& path);

// Opens a regular file for reading and nothing else: anything else is
// refused unopened, and the open itself cannot block should the path be
// swapped for a FIFO after the look.
bool openRegularFile(QFile& file, const QString& path, QString* error = nullptr);

// Makes the folder owner-only (0700), or the file (0600) when it is a
// regular file of its own: a file's link is left alone, so nothing it
// points to changes its mode (the next save replaces the link). False when
// the mode could not be set.
bool makeFolderOwnerOnly(const QString& path, QString* error = nullptr);
bool makeFileOwnerOnly(const QString& path, QString* error = nullptr);
