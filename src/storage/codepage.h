#pragma once

#include <QByteArray>
#include <QString>

// The data files hold single-byte Windows-1252 text. A character the code
// page cannot hold is stored as "?".
QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

// Fixed-width text field: encoded, cut at the width, padded with spaces.
QByteArray toFixedField(const QString& text, int width);
