// The sign-in book through its file: what is held comes back after a save
// and a load, and a file that cannot be used leaves an empty book and says
// why.
#include "runs/sign_in_book.h"
#include "storage/sign_in_file.h"
#include "support/common_files.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

class TestSignInBook : public QObject
{
    Q_OBJECT

private slots:
    void saveAndLoadKeepEverything()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(SignInFileName);
        const MailboxKey ann{"pop.example.org", 995, "ann"};
        const MailboxKey bob{"pop.example.org", 110, "bob"};
        const MailboxKey renamed{"pop.example.net", 995, "ann"};
        AccountSignIn command;
        command.method = SignInMethod::Scram;
        command.secretOrigin = SecretOrigin::Command;
        command.secretCommand = {"pass", "show", "mail/ann two"};
        const OAuthTokens tokens{"refresh", "access",
                                 QDateTime(QDate(2027, 1, 2), QTime(3, 4), Qt::UTC)};

        SignInBook book;
        book.set(ann, command);
        book.setTokens(bob, tokens); // tokens alone, the choice the default one
        book.rename(ann, renamed);
        QString error;
        QVERIFY2(book.save(path, &error), qPrintable(error));
        QVERIFY(!book.isModified());
        // The same book gives the same bytes.
        const QByteArray first = fileBytes(path);
        QVERIFY(book.save(path));
        QCOMPARE(fileBytes(path), first);

        SignInBook loaded;
        loaded.set({"stale", 1, "x"}, command);
        QVERIFY(loaded.load(path, &error));
        QVERIFY(!loaded.isModified());
        QCOMPARE(loaded.mailboxes().size(), 2);
        QCOMPARE(loaded.find(renamed), command);
        QVERIFY(loaded.find(ann).isDefault());
        QVERIFY(loaded.find(bob).isDefault());
        QCOMPARE(loaded.tokens(bob), std::optional<OAuthTokens>(tokens));
        QCOMPARE(loaded.tokens(renamed), std::nullopt);
        QVERIFY(loaded.find({"stale", 1, "x"}).isDefault());
    }

    void unusableFileLeavesAnEmptyBook()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(SignInFileName);
        SignInBook book;
        QString error;
        QVERIFY(book.load(path, &error)); // missing: nothing chosen yet
        QVERIFY(error.isEmpty());

        writeBytes(path, R"({"format":"quorvamel-sign-in","version":7,"accounts":[]})");
        AccountSignIn scram;
        scram.method = SignInMethod::Scram;
        book.set({"a", 1, "b"}, scram);
        QVERIFY(!book.load(path, &error));
        QVERIFY2(error.contains("format version 7") && error.contains(".damaged"),
                 qPrintable(error));
        QVERIFY(book.isEmpty());
        QVERIFY(QFile::exists(path + SignInFileDamagedSuffix));
    }
};

QTEST_GUILESS_MAIN(TestSignInBook)
#include "test_sign_in_book.moc"
