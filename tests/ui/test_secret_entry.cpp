// The run password box Text7 and the APOP secret box Text8: every message,
// the Enter key swallowed.
#include "storage/run_settings.h"
#include "support/common_scripted_prompter.h"
#include "ui/mainwindow.h"
#include "ui/secret_entry.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString wrongPassword =
    QStringLiteral("Enter Your Current Password, And Press -Enter- Key To Delete It");
const QString passwordDeleted = QStringLiteral("Okay, Your Old Password Has Been Deleted.\n"
                                               "Now, You Can Enter A New Password.");
const QString confirmPassword =
    QStringLiteral("Confirm: Your New Password To Run Quorvamel Is: \n");
const QString passwordStored = QStringLiteral("Your New Password Has Been Stored.");
const QString passwordKept = QStringLiteral("Your Password Was Not Changed.");
const QString confirmSecret = QStringLiteral("Confirm Your Shared Secret: \n");
const QString secretStored = QStringLiteral("Your New Secret Has Been Stored.");
const QString secretKept = QStringLiteral("Your Secret Was Not Changed.\n"
                                          "You Can Make A Correction, Then Enter Again");

enum Answer { NoQuestion, Yes, No };

struct Boxes
{
    MainWindow form;
    RunSettings settings;
    ScriptedPrompter prompter;
    SecretEntry entry{form, settings, prompter};
    QLineEdit* text7 = form.findChild<QLineEdit*>(QStringLiteral("Text7"));
    QPlainTextEdit* text8 = form.findChild<QPlainTextEdit*>(QStringLiteral("Text8"));

    void answer(Answer a)
    {
        if (a != NoQuestion)
            prompter.queueYesNo(a == Yes);
    }
};

} // namespace

Q_DECLARE_METATYPE(Answer)

class TestSecretEntry : public QObject
{
    Q_OBJECT

private slots:
    void runPassword_data();
    void runPassword();
    void changingThePasswordTakesTwoEntries();
    void apopSecret_data();
    void apopSecret();
    void otherKeysTypeNormally();
    void secretBoxLimit();
    void trimSpacesOnly_data();
    void trimSpacesOnly();
};

void TestSecretEntry::runPassword_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("after");
    QTest::newRow("set, yes") << ""
                              << "  Secret 1 " << Yes
                              << QStringList{confirmPassword + "Secret 1", passwordStored}
                              << "Secret 1";
    QTest::newRow("set, no") << ""
                             << "Secret" << No
                             << QStringList{confirmPassword + "Secret", passwordKept} << "";
    QTest::newRow("set empty, yes: still no password")
        << ""
        << "" << Yes << QStringList{confirmPassword, passwordStored} << "";
    QTest::newRow("delete with the current one, spaces around")
        << "Secret"
        << "  Secret  " << NoQuestion << QStringList{passwordDeleted} << "";
    QTest::newRow("delete with another case")
        << "Secret"
        << "secret" << NoQuestion << QStringList{wrongPassword} << "Secret";
    QTest::newRow("delete with an empty box")
        << "Secret"
        << "" << NoQuestion << QStringList{wrongPassword} << "Secret";
}

void TestSecretEntry::runPassword()
{
    QFETCH(QString, current);
    QFETCH(QString, typed);
    QFETCH(Answer, answer);
    QFETCH(QStringList, messages);
    QFETCH(QString, after);
    Boxes boxes;
    boxes.settings.runPassword = current;
    boxes.answer(answer);
    QSignalSpy returns(boxes.text7, &QLineEdit::returnPressed);
    QTest::keyClicks(boxes.text7, typed);
    QCOMPARE(boxes.text7->text(), typed);
    QTest::keyClick(boxes.text7, Qt::Key_Return);

    QCOMPARE(boxes.prompter.texts(), messages);
    QCOMPARE(boxes.prompter.shown().first().kind, answer == NoQuestion
                                                      ? ScriptedPrompter::Shown::Message
                                                      : ScriptedPrompter::Shown::Question);
    QCOMPARE(boxes.prompter.shown().first().title, QStringLiteral("Quorvamel"));
    QCOMPARE(boxes.settings.runPassword, after);
    // The password is never shown again, whatever the outcome.
    QVERIFY(boxes.text7->text().isEmpty());
    // The key was swallowed: the box never saw it.
    QCOMPARE(returns.count(), 0);
}

void TestSecretEntry::changingThePasswordTakesTwoEntries()
{
    Boxes boxes;
    boxes.settings.runPassword = QStringLiteral("old");
    QTest::keyClicks(boxes.text7, QStringLiteral("new"));
    QTest::keyClick(boxes.text7, Qt::Key_Enter); // the keypad's Enter counts too
    QCOMPARE(boxes.settings.runPassword, QStringLiteral("old"));
    QTest::keyClicks(boxes.text7, QStringLiteral("old"));
    QTest::keyClick(boxes.text7, Qt::Key_Return);
    boxes.prompter.queueYesNo(true);
    QTest::keyClicks(boxes.text7, QStringLiteral("new"));
    QTest::keyClick(boxes.text7, Qt::Key_Return);
    QCOMPARE(boxes.settings.runPassword, QStringLiteral("new"));
    QCOMPARE(boxes.prompter.texts(), (QStringList{wrongPassword, passwordDeleted,
                                                  confirmPassword + "new", passwordStored}));
    // A wrong entry warns; what was done is a notice.
    QCOMPARE(boxes.prompter.messageKinds(),
             (QList<MessageKind>{MessageKind::Warning, MessageKind::Notice, MessageKind::Notice}));
}

void TestSecretEntry::apopSecret_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("boxAfter");
    QTest::newRow("yes replaces the old secret")
        << "old"
        << "  tanstaaf " << Yes << QStringList{confirmSecret + "tanstaaf", secretStored}
        << "tanstaaf"
        << "";
    QTest::newRow("no keeps the text for correction")
        << "old"
        << " tanstaaf" << No << QStringList{confirmSecret + "tanstaaf", secretKept} << "old"
        << " tanstaaf";
    QTest::newRow("only spaces, yes: no secret")
        << "old"
        << "    " << Yes << QStringList{confirmSecret, secretStored} << ""
        << "";
    QTest::newRow("line breaks kept")
        << ""
        << " line one\nline two\n"
        << Yes << QStringList{confirmSecret + "line one\nline two\n", secretStored}
        << "line one\nline two\n"
        << "";
}

void TestSecretEntry::apopSecret()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(Answer, answer);
    QFETCH(QStringList, messages);
    QFETCH(QString, after);
    QFETCH(QString, boxAfter);
    Boxes boxes;
    boxes.settings.apopSecret = stored;
    boxes.answer(answer);
    boxes.text8->setPlainText(typed);
    boxes.text8->moveCursor(QTextCursor::End);
    QTest::keyClick(boxes.text8, Qt::Key_Return);

    QCOMPARE(boxes.prompter.texts(), messages);
    QCOMPARE(boxes.prompter.shown().first().kind, ScriptedPrompter::Shown::Question);
    QCOMPARE(boxes.settings.apopSecret, after);
    // No new line was typed by the Enter key.
    QCOMPARE(boxes.text8->toPlainText(), boxAfter);
}

void TestSecretEntry::otherKeysTypeNormally()
{
    Boxes boxes;
    QTest::keyClicks(boxes.text8, QStringLiteral("ab c"));
    QTest::keyClick(boxes.text8, Qt::Key_Backspace);
    QCOMPARE(boxes.text8->toPlainText(), QStringLiteral("ab "));
    QTest::keyClicks(boxes.text7, QStringLiteral("xy"));
    QCOMPARE(boxes.text7->text(), QStringLiteral("xy"));
    QVERIFY(boxes.prompter.shown().isEmpty());
}

void TestSecretEntry::secretBoxLimit()
{
    Boxes boxes;
    QCOMPARE(boxes.text7->maxLength(), 62);
    const QString pasted = QString(240, QLatin1Char('a')) + QStringLiteral("\nbcdefghijklmnop");
    boxes.text8->setPlainText(pasted);
    QCOMPARE(boxes.text8->toPlainText(), pasted.left(SecretEntry::SecretLimit));
    boxes.text8->moveCursor(QTextCursor::End);
    QTest::keyClicks(boxes.text8, QStringLiteral("zz"));
    QCOMPARE(boxes.text8->toPlainText().size(), SecretEntry::SecretLimit);
}

void TestSecretEntry::trimSpacesOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("spaces") << "  a b  "
                            << "a b";
    QTest::newRow("line breaks stay") << " \na\n "
                                      << "\na\n";
    QTest::newRow("tabs stay") << "\ta\t"
                               << "\ta\t";
    QTest::newRow("only spaces") << "   "
                                 << "";
}

void TestSecretEntry::trimSpacesOnly()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(trimSpaces(text), trimmed);
}

QTEST_MAIN(TestSecretEntry)
#include "test_secret_entry.moc"
