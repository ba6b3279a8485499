#pragma once

#include <QMetaType>

// Whether the previous check already listed a mail. The values are the
// numbers of the row pictures.
enum class MailImage { Seen = 1, New = 2 };
Q_DECLARE_METATYPE(MailImage)
