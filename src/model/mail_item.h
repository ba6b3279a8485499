#pragma once

#include <QString>

// One row of the mail list: one message on one server, or the "(no mail)"
// row of an account without messages.
struct MailItem
{
    enum Image { SeenImage = 1, NewImage = 2 };

    QString displayName;
    QString userName;
    QString from;
    QString subject;
    QString dateSent;
    QString server;
    QString port;
    QString key; // "K<n>P<password>", empty for "(no mail)" rows
    int image = SeenImage;
    bool checked = false;

    static MailItem noMailRow(const QString& displayName, const QString& userName);
    bool isNoMailRow() const;
};
