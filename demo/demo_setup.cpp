#include "demo_setup.h"

#include "storage/account_record.h"
#include "storage/scramble.h"
#include "storage/settings_file.h"
#include "storage/settings_record.h"
#include "storage/users_file.h"
#include "support/servers_dovecot.h"

#include <QDir>
#include <QFile>

QList<QByteArray> sampleMessages()
{
    return {
        "From: Ada Lovelace <ada@engine.example>\n"
        "Subject: Notes on the analytical engine\n"
        "Date: Mon, 7 Dec 2026 09:15:00 +0000\n\n"
        "The engine weaves algebraic patterns.\n",

        "From: =?UTF-8?Q?J=C3=BCrgen_M=C3=BCller?= <jm@example.de>\n"
        "Subject: =?UTF-8?B?R3LDvMOfZSBhdXMgQmVybGlu?=\n"
        "Date: Tue, 8 Dec 2026 18:02:11 +0100\n\n"
        "Viele Grüße.\n",

        "From: Grace Hopper <grace@navy.example>\n"
        "Subject: A rather long subject line that the sender\n"
        " folded onto a second line\n"
        "Date: 9 Dec 2026 07:30 EST\n\n"
        "It's easier to ask forgiveness.\n",

        "From: newsletter@shop.example\n"
        "Subject: Your weekly offers\n"
        "Date: Wed, 9 Dec 2026 23:59:59 -0800\n\n"
        "Buy now.\n",

        "From: Someone <no-date@example.org>\n"
        "Subject: A message without a date\n\n"
        "Dates are optional in practice.\n",
    };
}

QByteArray lateArrival()
{
    return "From: Alan Turing <alan@bletchley.example>\n"
           "Subject: Just arrived\n"
           "Date: Thu, 10 Dec 2026 12:00:00 +0000\n\n"
           "Can machines think?\n";
}

namespace {

AccountRecord account(const QString& name, const QString& user, const QString& password,
                      quint16 port)
{
    AccountRecord record;
    record.displayName = name;
    record.userName = user;
    record.scrambledPassword = scramblePassword(password);
    record.serverName = QStringLiteral("127.0.0.1");
    record.port = port;
    record.checked = 0;
    return record;
}

} // namespace

bool writeDemoHome(const QString& home, quint16 port, bool checkOnOpen)
{
    const QString data = home + "/Application Data/Quorvamel";
    if (!QDir().mkpath(data))
        return false;
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QFile::setPermissions(home + "/Application Data", ownerOnly);
    QFile::setPermissions(data, ownerOnly);
    SettingsRecord settings = SettingsRecord::templateRecord();
    settings.autoCheckOnOpen = checkOnOpen ? 1 : 0; // the newcomer sees a check at once
    return writeSettingsFile(data + "/quorvamel.ini", settings) &&
           writeUsersFile(data + "/pop3user.ini",
                          {account("Demo Home", "home", "home-pass", port),
                           account("Demo Office", "office", "office-pass", port)});
}

void prepareDemoServer(DovecotFixture& dovecot)
{
    dovecot.setPlainOnly();
    dovecot.addUser("home", "home-pass");
    dovecot.addUser("office", "office-pass");
    for (const QByteArray& mail : sampleMessages())
        dovecot.writeMessage("home", mail);
}
