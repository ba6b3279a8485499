#pragma once

// Helpers for delete-run tests: mail rows as a check would have listed
// them, the scripted session of one account, and reading the list back.
#include "model/list_rows.h"
#include "run_rig.h"
#include "support/servers_pop3_peer.h"

#include <QTest>

namespace deleterig {

inline const QByteArray sender = "ann@x.org";
inline const QByteArray sentDate = "Tue, 4 Jun 2024 08:00:00 +0000";
inline const QString closedLine = QStringLiteral("...User Connection Closed - Wait...");

// A TOP reply for a message with this subject.
inline QByteArray mail(const QByteArray& subject)
{
    return Pop3Reply::top(Pop3Reply::headers(sender, subject, sentDate));
}

// A row the check run would have made for that message, at the end of the
// list, for the account user/password on 127.0.0.1:port.
inline void addRow(RunRig& rig, const QString& user, const QString& password, quint16 port,
                   const QString& subject, bool marked)
{
    MailItem item;
    item.displayName = QStringLiteral("Name ") + user;
    item.userName = user;
    item.from = QString::fromLatin1(sender);
    item.subject = subject;
    item.dateSent = QString::fromLatin1(sentDate);
    item.server = QStringLiteral("127.0.0.1");
    item.port = QString::number(port);
    item.key = {rig.mails.itemCount() + 1, password};
    item.image = MailImage::Seen;
    rig.mails.appendItem(item);
    if (marked)
        QVERIFY(checkRow(rig.mails, rig.mails.itemCount()));
}

// The log-on and STAT of one account.
inline Pop3Script logOn(const QByteArray& user, const QByteArray& password, int count)
{
    Pop3Script s;
    s.send(Pop3Reply::greeting())
        .expect("USER " + user)
        .send(Pop3Reply::ok())
        .expect("PASS " + password)
        .send(Pop3Reply::ok())
        .expect("STAT")
        .send(Pop3Reply::stat(count));
    return s;
}

// The commands after STAT, each answered as a server would: TOP n with
// message n, DELE with "+OK", QUIT with "+OK bye" and the client's close.
// The command `errorOn` is answered "-ERR" and the client must close.
inline Pop3Script session(const QByteArray& user, const QByteArray& password,
                          const QList<QByteArray>& messages, const QStringList& commands,
                          const QString& errorOn = QString())
{
    Pop3Script s = logOn(user, password, int(messages.size()));
    for (const QString& command : commands) {
        s.expect(command);
        if (command == errorOn)
            return s.send(Pop3Reply::err("no such message")).expectClientClose();
        if (command.startsWith(QLatin1String("TOP ")))
            s.send(mail(messages.value(command.section(' ', 1, 1).toInt() - 1)));
        else if (command.startsWith(QLatin1String("DELE ")))
            s.send(Pop3Reply::ok("message deleted"));
        else if (command == QLatin1String("QUIT"))
            s.send(Pop3Reply::ok("bye")).expectClientClose();
    }
    return s;
}

// "user|subject|key marker|checked" per row; "(no mail)" rows show their
// whole key (empty).
inline QStringList listed(const RunRig& rig)
{
    QStringList out;
    for (int i = 0; i < rig.mails.itemCount(); ++i) {
        const MailItem& m = rig.mails.item(i);
        const QString marker = keyText(m).left(1);
        out.append(
            QStringList{m.userName, m.subject, marker, checkedText(isRowChecked(rig.mails, i + 1))}
                .join(QLatin1Char('|')));
    }
    return out;
}

// The click on Command5 with "Yes" queued; true when the run ended in time.
inline bool deleteRun(RunRig& rig, int timeoutMs = 30000)
{
    QSignalSpy ended(rig.runs.get(), &RunCoordinator::runEnded);
    rig.prompter.queueYesNo(true);
    if (!rig.runs->startDeleteFromUser())
        return false;
    return !ended.isEmpty() || ended.wait(timeoutMs);
}

inline void prepare(RunRig& rig)
{
    rig.settings.deleteEnabled = 1;
    rig.mails.setCheckBoxesShown(true);
}

// ann's two marked rows, Alpha and Beta, on a server whose first header
// comes slowly and whose QUIT reply says quitText.
inline Pop3Script slowFirstHeader(const QByteArray& quitText)
{
    return logOn("ann", "pw1", 2)
        .expect("TOP 1 2")
        .pause(300)
        .send(mail("Alpha"))
        .expect("QUIT")
        .send(Pop3Reply::ok(quitText))
        .expectClientClose();
}

// Lists those two rows, starts the delete run with "Yes" and waits until
// the first header is asked for, so a test can act while it is on its way.
inline bool startWhileFirstHeaderComes(RunRig& rig, const ScriptedPop3Peer& peer)
{
    prepare(rig);
    addRow(rig, "ann", "pw1", peer.port(), "Alpha", true);
    addRow(rig, "ann", "pw1", peer.port(), "Beta", true);
    rig.prompter.queueYesNo(true);
    return rig.runs->startDeleteFromUser() &&
           QTest::qWaitFor([&] { return peer.commands().contains("TOP 1 2"); }, 5000);
}

} // namespace deleterig
