// A delete run clicked in the main window against a real POP3 server: the
// marked messages go, an emptied account keeps its "(no mail)" row, a
// message changed since the check stays, and the controls come back.
#include "model/list_rows.h"
#include "support/servers_dovecot.h"
#include "test_check_window_rig.h"

#include <QFile>

class TestDeleteWindowDovecot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void deletesExactlyTheMarkedMessages();

private:
    std::unique_ptr<DovecotFixture> m_dovecot;
};

void TestDeleteWindowDovecot::initTestCase()
{
    if (DovecotFixture::dovecotBinary().isEmpty())
        QSKIP("Dovecot is not installed");
    m_dovecot = std::make_unique<DovecotFixture>();
    m_dovecot->addUser(QStringLiteral("alice"), QStringLiteral("secret1"));
    m_dovecot->addUser(QStringLiteral("bob"), QStringLiteral("secret2"));
    QVERIFY(m_dovecot->writeGeneratedMessages(QStringLiteral("alice"), 3));
    QVERIFY(m_dovecot->writeGeneratedMessages(QStringLiteral("bob"), 1, 4));
    QVERIFY2(m_dovecot->start(), qPrintable(m_dovecot->errorString()));
}

void TestDeleteWindowDovecot::deletesExactlyTheMarkedMessages()
{
    CheckWindowRig rig;
    rig.settings.deleteEnabled = 1;
    rig.window.setDeleteEnabled(true);
    rig.window.showMailCheckBoxes(true);
    rig.addAccount(QStringLiteral("alice"), QStringLiteral("secret1"), m_dovecot->plainPort());
    rig.addAccount(QStringLiteral("bob"), QStringLiteral("secret2"), m_dovecot->plainPort());
    QVERIFY(rig.clickCheckMail());
    QCOMPARE(rig.mails().itemCount(), 4);

    // Marked: alice 1 and 3 and bob's only message; alice 3 is then
    // changed on the server, so it no longer matches its row.
    for (int row : {1, 3, 4})
        QCOMPARE(checkRow(rig.mails(), row), true);
    const QString changed = m_dovecot->messageFiles(QStringLiteral("alice")).at(2);
    QVERIFY(QFile::remove(changed));
    const GeneratedMail third = GeneratedMail::number(3);
    QVERIFY(!m_dovecot
                 ->writeMessage(QStringLiteral("alice"),
                                {"From: " + third.from.toUtf8(),
                                 "Subject: " + third.subject.toUtf8() + " (edited)",
                                 "Date: " + third.date.toUtf8()},
                                "Changed after the check.\n")
                 .isEmpty());
    QCOMPARE(rig.controlState(), QStringLiteral("check seen delete tabs tab1"));

    QStringList duringRun;
    QObject::connect(&rig.runs().log(), &RunLog::appended, &rig.window, [&](const QString& line) {
        if (line.startsWith(QStringLiteral("..Connected-ServerIP: ")))
            duringRun.append(rig.controlState());
    });
    QSignalSpy ended(&rig.runs(), &RunCoordinator::runEnded);
    rig.prompter.queueYesNo(true);
    QTest::mouseClick(rig.button("Command5"), Qt::LeftButton);
    QVERIFY(!ended.isEmpty() || ended.wait(30000));

    QCOMPARE(rig.prompter.texts(),
             QStringList{QStringLiteral("Confirm: Permanently Delete All Mail Items w/CheckBox "
                                        "Ckecked From The Server?")});
    QCOMPARE(duringRun, (QStringList{"cancel tab1", "cancel tab1"}));
    QCOMPARE(rig.logBoxLines().last(), QStringLiteral("..Delete Complete: Deleted 2 Mail Items"));
    QCOMPARE(rig.controlState(), QStringLiteral("check seen delete tabs tab1"));
    QVERIFY(!rig.runs().isBusy());

    // The list: alice 2 and the changed alice 3 (still marked), bob emptied.
    QStringList rows;
    for (int i = 0; i < rig.mails().itemCount(); ++i) {
        const MailItem& m = rig.mails().item(i);
        rows << QStringList{m.userName, m.subject, checkedText(isRowChecked(rig.mails(), i + 1))}
                    .join('|');
    }
    QCOMPARE(rows, (QStringList{"alice|" + GeneratedMail::number(2).subject + "|0",
                                "alice|" + third.subject + "|1", "bob|(no mail)|0"}));
    QCOMPARE(m_dovecot->messageFiles(QStringLiteral("alice")).size(), 2);
    QCOMPARE(m_dovecot->messageFiles(QStringLiteral("bob")).size(), 0);
    QVERIFY(QFile::exists(m_dovecot->messageFiles(QStringLiteral("alice")).last()));
}

QTEST_MAIN(TestDeleteWindowDovecot)
#include "test_delete_window_dovecot.moc"
