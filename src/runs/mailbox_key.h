#pragma once

#include <QHash>
#include <QString>

// One mailbox on one server: what the header cache and the sign-in
// choices know an account by, so a new display name changes neither.
struct MailboxKey
{
    QString server;
    qint32 port = 0;
    QString userName;

    bool operator==(const MailboxKey&) const = default;
};

inline size_t qHash(const MailboxKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.server, key.port, key.userName);
}
