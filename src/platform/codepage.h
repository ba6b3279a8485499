#pragma once

#include <QByteArray>
#include <QString>

// Single-byte Windows-1252 text, as the data files and the POP3 commands
// carry it. A character the code page cannot hold becomes "?".
QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

// Fixed-width text field: encoded, cut at the width, padded with spaces.
QByteArray toFixedField(const QString& text, int width);
