#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

struct MailHeaders
{
    QString from;
    QString subject;
    QString date;
};

// Takes From, Subject and Date out of the header block of a TOP or RETR
// reply (the text before the first CR LF CR LF). No empty line: nullopt.
// Folded lines are unfolded; names match only when written exactly (any
// case, no blank before the ":"); the last occurrence wins. Each value is
// UTF-8 when its bytes are valid UTF-8, else Windows-1252, and encoded
// words (=?charset?B|Q?...?=) in From and Subject are decoded.
std::optional<MailHeaders> parseHeaderBlock(const QByteArray& message);
