// Check runs clicked in the main window against a real POP3 server: the
// list, the summary, the log box and status line, the run controls, and
// new against seen mail across runs with "Seen" in between.
#include "support/servers_dovecot.h"
#include "test_check_window_rig.h"

namespace {

QStringList rowsOf(MailListModel& mails)
{
    QStringList out;
    for (int i = 0; i < mails.itemCount(); ++i) {
        const MailItem& m = mails.item(i);
        out.append(
            QStringList{m.userName, m.from, m.subject, QString::number(int(m.image))}.join('|'));
    }
    return out;
}

QString generated(const QString& user, int i, int image)
{
    const GeneratedMail m = GeneratedMail::number(i);
    return QStringList{user, m.from, m.subject, QString::number(image)}.join('|');
}

} // namespace

class TestCheckWindowDovecot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void newAndSeenAcrossRuns();

private:
    std::unique_ptr<DovecotFixture> m_dovecot;
};

void TestCheckWindowDovecot::initTestCase()
{
    if (DovecotFixture::dovecotBinary().isEmpty())
        QSKIP("Dovecot is not installed");
    m_dovecot = std::make_unique<DovecotFixture>();
    m_dovecot->addUser(QStringLiteral("alice"), QStringLiteral("secret1"));
    m_dovecot->addUser(QStringLiteral("bob"), QStringLiteral("secret2"));
    QVERIFY(m_dovecot->writeGeneratedMessages(QStringLiteral("alice"), 2));
    QVERIFY2(m_dovecot->start(), qPrintable(m_dovecot->errorString()));
}

void TestCheckWindowDovecot::newAndSeenAcrossRuns()
{
    CheckWindowRig rig;
    rig.addAccount(QStringLiteral("alice"), QStringLiteral("secret1"), m_dovecot->plainPort());
    rig.addAccount(QStringLiteral("bob"), QStringLiteral("secret2"), m_dovecot->plainPort());
    rig.window.selectTab(MainWindow::SettingsTab);
    // The controls as each server connection is made, mid-run.
    QStringList duringRun;
    QObject::connect(&rig.runs().log(), &RunLog::appended, &rig.window, [&](const QString& line) {
        if (line.startsWith(QStringLiteral("..Connected-ServerIP: ")))
            duringRun.append(rig.controlState());
    });

    // First run: both of alice's messages are new; bob has none.
    QVERIFY(rig.clickCheckMail());
    QCOMPARE(duringRun, (QStringList{"cancel tab1", "cancel tab1"}));
    QCOMPARE(rowsOf(rig.mails()), (QStringList{generated("alice", 1, 2), generated("alice", 2, 2),
                                               "bob|(no mail)|(no mail)|1"}));
    const QString firstSummary =
        QStringLiteral("..Check Complete: 2 New Mail Items -Total Items: 2");
    QCOMPARE(rig.logBoxLines().last(), firstSummary);
    QVERIFY(rig.logBoxLines().contains(QStringLiteral("..Connected-ServerIP: 127.0.0.1")));
    // The log box holds exactly the engine's log, line for line.
    QCOMPARE(rig.window.logText(), rig.runs().log().text().replace("\r\n", "\n"));
    QVERIFY2(rig.window.statusText().endsWith(firstSummary), qPrintable(rig.window.statusText()));
    QVERIFY(rig.window.statusText().size() > firstSummary.size() + 8); // date and time first
    QCOMPARE(rig.controlState(), QStringLiteral("check seen tabs tab1"));
    QVERIFY(rig.prompter.texts().isEmpty());

    // A second run without "Seen" counts the same messages as new again.
    QVERIFY(rig.clickCheckMail());
    QCOMPARE(rig.logBoxLines().last(), firstSummary);

    // "Seen", one more message, and a third run: only the newcomer is new.
    QTest::mouseClick(rig.button("Command2"), Qt::LeftButton);
    QCOMPARE(rowsOf(rig.mails()), (QStringList{generated("alice", 1, 1), generated("alice", 2, 1),
                                               "bob|(no mail)|(no mail)|1"}));
    QVERIFY(m_dovecot->writeGeneratedMessages(QStringLiteral("alice"), 1, 3));
    QVERIFY(rig.clickCheckMail());
    QCOMPARE(rowsOf(rig.mails()),
             (QStringList{generated("alice", 1, 1), generated("alice", 2, 1),
                          generated("alice", 3, 2), "bob|(no mail)|(no mail)|1"}));
    QCOMPARE(rig.logBoxLines().last(),
             QStringLiteral("..Check Complete: 1 New Mail Item -Total Items: 3"));
    QCOMPARE(rig.logBoxLines().first(), QStringLiteral("..Beginning Process To Check For Mail"));
    QCOMPARE(rig.controlState(), QStringLiteral("check seen tabs tab1"));
    QVERIFY(!rig.runs().isBusy());
    QVERIFY(rig.prompter.texts().isEmpty());
}

QTEST_MAIN(TestCheckWindowDovecot)
#include "test_check_window_dovecot.moc"
