#pragma once

#include <QString>

// The APOP digest: MD5 over the text's single-byte (Windows-1252) bytes as
// 32 lower-case hexadecimal digits.
QString apopDigest(const QString& text);
