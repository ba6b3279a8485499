// Delete runs against a real POP3 server (a private Dovecot): a check
// lists the mailboxes, rows are marked, the delete run removes exactly the
// marked messages, and a fresh check shows what the server kept.
#include "model/list_rows.h"
#include "run_rig.h"
#include "support/servers_dovecot.h"

#include <QFile>
#include <QTest>

namespace {

// "user|subject|key marker|checked" per row.
QStringList listed(const RunRig& rig)
{
    QStringList out;
    for (int i = 0; i < rig.mails.itemCount(); ++i) {
        const MailItem& m = rig.mails.item(i);
        out.append(QStringList{m.userName, m.subject, keyText(m).left(1),
                               checkedText(isRowChecked(rig.mails, i + 1))}
                       .join(QLatin1Char('|')));
    }
    return out;
}

QString subject(int i)
{
    return GeneratedMail::number(i).subject;
}

bool runDelete(RunRig& rig)
{
    QSignalSpy ended(rig.runs.get(), &RunCoordinator::runEnded);
    rig.prompter.queueYesNo(true);
    if (!rig.runs->startDeleteFromUser())
        return false;
    return !ended.isEmpty() || ended.wait(30000);
}

} // namespace

class TestDeleteRunDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void deletesExactlyTheMarkedMessages_data();
    void deletesExactlyTheMarkedMessages();
    void lostSessionDeletesNothing();

private:
    DovecotFixture m_dovecot;
};

void TestDeleteRunDovecot::initTestCase()
{
    if (DovecotFixture::dovecotBinary().isEmpty())
        QFAIL("Dovecot is not installed (scripts/install-deps.sh installs it)");
    m_dovecot.addUser("alice", "secret1");
    m_dovecot.addUser("bob", "secret2");
    m_dovecot.addUser("carol", "secret3");
    QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorString()));
}

void TestDeleteRunDovecot::deletesExactlyTheMarkedMessages_data()
{
    QTest::addColumn<bool>("retr");
    QTest::addColumn<int>("dateStyle");
    QTest::newRow("TOP, dates as sent") << false << 1;
    QTest::newRow("RETR, dates with day names") << true << 4;
}

void TestDeleteRunDovecot::deletesExactlyTheMarkedMessages()
{
    QFETCH(bool, retr);
    QFETCH(int, dateStyle);
    for (const char* user : {"alice", "bob", "carol"})
        m_dovecot.removeAllMessages(user);
    QVERIFY(m_dovecot.writeGeneratedMessages("alice", 3, 1));
    QVERIFY(m_dovecot.writeGeneratedMessages("bob", 1, 4));
    QVERIFY(m_dovecot.writeGeneratedMessages("carol", 2, 5));

    RunRig rig;
    rig.settings.useRetr = retr ? 1 : 0;
    rig.settings.dateStyle = DateStyle(dateStyle);
    rig.settings.deleteEnabled = 1;
    rig.mails.setCheckBoxesShown(true);
    rig.addAccount("alice", "secret1", m_dovecot.plainPort());
    rig.addAccount("bob", "secret2", m_dovecot.plainPort());
    rig.addAccount("carol", "secret3", m_dovecot.plainPort());
    QVERIFY(rig.run());
    QCOMPARE(rig.mails.itemCount(), 6);

    // Marked: alice 1 and 3, bob's only message, carol's second message;
    // that one is then changed on the server.
    for (int row : {1, 3, 4, 6})
        QVERIFY(checkRow(rig.mails, row));
    const QStringList carolFiles = m_dovecot.messageFiles("carol");
    QCOMPARE(carolFiles.size(), 2);
    QVERIFY(QFile::remove(carolFiles.at(1)));
    const GeneratedMail six = GeneratedMail::number(6);
    QVERIFY(!m_dovecot
                 .writeMessage("carol",
                               {"From: " + six.from.toUtf8(),
                                "Subject: " + six.subject.toUtf8() + " (edited)",
                                "Date: " + six.date.toUtf8()},
                               "Changed after the check.\n")
                 .isEmpty());

    QVERIFY(runDelete(rig));
    const QStringList log = rig.logLines();
    QCOMPARE(log.last(), QStringLiteral("..Delete Complete: Deleted 3 Mail Items"));
    QCOMPARE(log.count("..Checking For Delete Mail Items On Server"), 3);
    QCOMPARE(listed(rig),
             QStringList({"alice|" + subject(2) + "|K|0", "bob|(no mail)||0",
                          "carol|" + subject(5) + "|K|0", "carol|" + subject(6) + "|K|1"}));
    QCOMPARE(m_dovecot.messageFiles("alice").size(), 1);
    QCOMPARE(m_dovecot.messageFiles("bob").size(), 0);
    QCOMPARE(m_dovecot.messageFiles("carol").size(), 2);

    // A fresh check lists what the server kept.
    QVERIFY(rig.run());
    QStringList subjects;
    for (int i = 0; i < rig.mails.itemCount(); ++i)
        subjects.append(rig.mails.item(i).userName + '|' + rig.mails.item(i).subject);
    QCOMPARE(subjects, QStringList({"alice|" + subject(2), "bob|(no mail)", "carol|" + subject(5),
                                    "carol|" + subject(6) + " (edited)"}));
}

void TestDeleteRunDovecot::lostSessionDeletesNothing()
{
    // The connection is lost after the server accepted a DELE and before
    // QUIT: the server keeps every message, and so does the list.
    m_dovecot.removeAllMessages("alice");
    QVERIFY(m_dovecot.writeGeneratedMessages("alice", 3, 1));
    RunRig rig;
    rig.settings.deleteEnabled = 1;
    rig.mails.setCheckBoxesShown(true);
    rig.addAccount("alice", "secret1", m_dovecot.plainPort());
    QVERIFY(rig.run());
    QCOMPARE(rig.mails.itemCount(), 3);
    for (int row : {1, 3})
        QVERIFY(checkRow(rig.mails, row));

    rig.settings.serverTimeout = std::chrono::seconds(1);
    rig.runs->sessionDriver().watchdogTimer().setInterval(100);
    bool dropped = false;
    QObject::connect(&rig.runs->sessionDriver().socket(), &MailSocket::dataArrived, &rig.mails,
                     [&] {
                         // After the first DELE was accepted the session asks for message 2.
                         if (!dropped && rig.runs->deleteRun().deletedInAccount() == 1 &&
                             rig.runs->session().state == SessionState::FetchingHeader) {
                             dropped = true;
                             rig.runs->sessionDriver().socket().close();
                         }
                     });
    QVERIFY(runDelete(rig));
    QVERIFY(dropped);
    const QStringList log = rig.logLines();
    QVERIFY2(log.contains("..Deletion Not Completed: The Server Kept 1 Mail Item"),
             qPrintable(log.join('\n')));
    QCOMPARE(log.last(), QStringLiteral("..Delete Complete: Deleted 0 Mail Items"));
    QCOMPARE(listed(rig),
             QStringList({"alice|" + subject(1) + "|K|1", "alice|" + subject(2) + "|K|0",
                          "alice|" + subject(3) + "|K|1"}));
    QCOMPARE(m_dovecot.messageFiles("alice").size(), 3);
}

QTEST_GUILESS_MAIN(TestDeleteRunDovecot)
#include "test_delete_run_dovecot.moc"
