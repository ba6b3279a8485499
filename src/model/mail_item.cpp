#include "model/mail_item.h"

namespace {
const QString kNoMail = QStringLiteral("(no mail)");
}

MailItem MailItem::noMailRow(const QString& displayName, const QString& userName)
{
    MailItem item;
    item.displayName = displayName;
    item.userName = userName;
    item.from = kNoMail;
    item.subject = kNoMail;
    item.dateSent = kNoMail;
    item.server = kNoMail;
    item.port = kNoMail;
    item.image = MailImage::Seen;
    return item;
}

bool MailItem::isNoMailRow() const
{
    return from == kNoMail;
}
