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
// reply (the text before the first empty line). No empty line: nullopt.
std::optional<MailHeaders> parseHeaderBlock(const QByteArray& message);
