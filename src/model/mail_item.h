#pragma once

#include "model/account_key.h"
#include "pop3/mail_image.h"

#include <QMetaType>
#include <QString>

// What a delete run has learned about a mail row.
enum class RowMark {
    None,
    Deleted,        // the server deleted the row's message
    AccountEmptied, // as Deleted, and every other row of its account is gone too
};
Q_DECLARE_METATYPE(RowMark)

// One row of the mail list: one message on one server, or the "(no mail)"
// row of an account without messages.
struct MailItem
{
    QString displayName;
    QString userName;
    QString from;
    QString subject;
    QString dateSent;
    QString server;
    QString port;
    // The account's password, numbered by the row the mail was listed in;
    // empty for "(no mail)" rows.
    AccountKey key;
    MailImage image = MailImage::Seen;
    RowMark mark = RowMark::None;
    bool checked = false;

    static MailItem noMailRow(const QString& displayName, const QString& userName);
    bool isNoMailRow() const;
};
// Only strings and plain values: moved in memory as it is, so a list of
// many thousand rows grows without copying each one.
Q_DECLARE_TYPEINFO(MailItem, Q_RELOCATABLE_TYPE);
