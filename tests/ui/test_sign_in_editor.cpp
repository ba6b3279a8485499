// The sign-in controller: the dialog's result into the book and its file,
// the password into the secret store, a deleted account's entry removed,
// the accounts page's button and menu item that open the dialog, and
// "Sign In Now" showing its address only while the dialog is open.
#include "model/account_list_model.h"
#include "platform/secret_store.h"
#include "runs/account_store.h"
#include "runs/browser_sign_in.h"
#include "runs/sign_in_book.h"
#include "support/common_scripted_prompter.h"
#include "support/storage_accounts.h"
#include "ui/account_editor.h"
#include "ui/accounts_page.h"
#include "ui/mainwindow.h"
#include "ui/sign_in_dialog.h"
#include "ui/sign_in_editor.h"

#include <QAction>
#include <QComboBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrlQuery>
#include <memory>

Q_DECLARE_METATYPE(AccountSignIn)

namespace {

// Remembers what was stored; refuses when told to.
class RecordingSecretStore : public SecretStore
{
public:
    struct Stored
    {
        SecretKey key;
        QString secret;
    };
    QList<Stored> stored;
    bool refuse = false;

    SecretLookup lookup(const SecretKey&) override { return {true, false, {}, {}}; }
    bool store(const SecretKey& key, const QString&, const QString& secret, QString* error) override
    {
        if (refuse) {
            *error = QStringLiteral("the collection is locked");
            return false;
        }
        stored.append({key, secret});
        return true;
    }
    bool remove(const SecretKey&, QString*) override { return true; }
};

const QList<TestAccount> accounts = {
    {"Alpha", "alice", "pwA", "pop.a.example", 995, 0},
    {"Beta", "bob", "pwB", "pop.b.example", 110, 0},
};
const MailboxKey aliceKey{QStringLiteral("pop.a.example"), 995, QStringLiteral("alice")};
const MailboxKey bobKey{QStringLiteral("pop.b.example"), 110, QStringLiteral("bob")};

const AccountSignIn scramFromCommand{SignInMethod::Scram,
                                     SecretOrigin::Command,
                                     {QStringLiteral("pass"), QStringLiteral("alice")},
                                     {}};

// The window with its account list loaded from a users file, the account
// editor and the sign-in controller wired as the program wires them, and a
// save hook that counts its calls.
struct Page
{
    QTemporaryDir dir;
    QString path = dir.filePath(UsersFileName);
    MainWindow form;
    AccountListModel list;
    ScriptedPrompter prompter;
    SignInBook book;
    RecordingSecretStore store;
    std::unique_ptr<AccountEditor> accountEditor;
    std::unique_ptr<SignInEditor> editor;
    int saves = 0;
    bool saveFails = false;

    Page()
    {
        writeAccounts(path, accounts);
        loadAccountList(list, path);
        accountEditor = std::make_unique<AccountEditor>(form, list, prompter);
        editor = std::make_unique<SignInEditor>(form, list, book, prompter);
        editor->setSecretStore(&store);
        editor->setSaveHook([this](QString* error) {
            ++saves;
            if (saveFails)
                *error = QStringLiteral("disk full");
            return !saveFails;
        });
        QObject::connect(accountEditor.get(), &AccountEditor::accountDeleted, editor.get(),
                         &SignInEditor::accountDeleted);
    }
};

} // namespace

class TestSignInEditor : public QObject
{
    Q_OBJECT

private slots:
    void apply_data();
    void apply();
    void openedFromButtonAndMenu_data();
    void openedFromButtonAndMenu();
    void dialogShowsTheBook();
    void nothingSelectedOpensNothing();
    void deleteRemovesTheEntry_data();
    void deleteRemovesTheEntry();
    void signInNowShowsTheAddressUntilClosed_data();
    void signInNowShowsTheAddressUntilClosed();
    void buttonToolTipFollowsTheSetting();
};

void TestSignInEditor::apply_data()
{
    QTest::addColumn<AccountSignIn>("signIn");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("storeRefuses");
    QTest::addColumn<bool>("saveFails");
    QTest::addColumn<bool>("applied");
    QTest::addColumn<int>("saves");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("message");
    const AccountSignIn storeChoice{SignInMethod::Password, SecretOrigin::SecretStore, {}, {}};
    QTest::newRow("choice saved") << scramFromCommand << "" << false << false << true << 1 << 0
                                  << "";
    QTest::newRow("password stored, choice saved")
        << storeChoice << "s3cret" << false << false << true << 1 << 1 << "";
    QTest::newRow("store refuses: nothing recorded")
        << storeChoice << "s3cret" << true << false << false << 0 << 0
        << "Could Not Store The Password In The Secret Store: the collection is locked";
    QTest::newRow("save fails: told") << scramFromCommand << "" << false << true << false << 1 << 0
                                      << "Could Not Save The Sign-In Choices: disk full";
    QTest::newRow("default choice: nothing to change")
        << AccountSignIn{} << "" << false << false << true << 0 << 0 << "";
}

void TestSignInEditor::apply()
{
    QFETCH(AccountSignIn, signIn);
    QFETCH(QString, password);
    QFETCH(bool, storeRefuses);
    QFETCH(bool, saveFails);
    QFETCH(bool, applied);
    QFETCH(int, saves);
    QFETCH(int, stored);
    QFETCH(QString, message);
    Page page;
    page.store.refuse = storeRefuses;
    page.saveFails = saveFails;

    QCOMPARE(page.editor->apply(aliceKey, signIn, password), applied);
    QCOMPARE(page.saves, saves);
    QCOMPARE(page.store.stored.size(), stored);
    if (stored) {
        const SecretKey key = page.store.stored.first().key;
        QCOMPARE(key.server, aliceKey.server);
        QCOMPARE(key.port, aliceKey.port);
        QCOMPARE(key.userName, aliceKey.userName);
        QCOMPARE(int(key.kind), int(SecretKind::Password));
        QCOMPARE(page.store.stored.first().secret, password);
    }
    QCOMPARE(page.prompter.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    // A refused password leaves the book as it was; a failed save keeps the
    // choice in memory for the next save.
    QVERIFY(page.book.find(aliceKey) == (storeRefuses ? AccountSignIn{} : signIn));
    QVERIFY(page.book.find(bobKey) == AccountSignIn{});
}

void TestSignInEditor::openedFromButtonAndMenu_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("button, OK") << false << true;
    QTest::newRow("menu, OK") << true << true;
    QTest::newRow("button, cancelled") << false << false;
}

void TestSignInEditor::openedFromButtonAndMenu()
{
    QFETCH(bool, fromMenu);
    QFETCH(bool, accepted);
    Page page;
    page.accountEditor->selectRow(2);
    QStringList titles;
    page.editor->setDialogRunner([&](SignInDialog& dialog) {
        titles.append(dialog.windowTitle());
        auto* method = dialog.controls().method;
        method->setCurrentIndex(method->findText(QStringLiteral("SCRAM-SHA-256")));
        return accepted;
    });
    if (fromMenu)
        page.form.menus().accountList.signIn->trigger();
    else
        page.form.accountsPage().signInButton()->click();

    QCOMPARE(titles, QStringList{QStringLiteral("Sign-In - bob@pop.b.example:110")});
    const AccountSignIn scram{SignInMethod::Scram, SecretOrigin::UsersFile, {}, {}};
    QVERIFY(page.book.find(bobKey) == (accepted ? scram : AccountSignIn{}));
    QVERIFY(page.book.find(aliceKey) == AccountSignIn{});
    QCOMPARE(page.saves, accepted ? 1 : 0);
}

void TestSignInEditor::dialogShowsTheBook()
{
    Page page;
    page.book.set(aliceKey, scramFromCommand);
    page.accountEditor->selectRow(1);
    AccountSignIn shown;
    bool storeOffered = false;
    page.editor->setDialogRunner([&](SignInDialog& dialog) {
        shown = dialog.signIn();
        storeOffered = dialog.controls().origin->itemData(2, Qt::ToolTipRole).isNull();
        return false;
    });
    page.editor->editSelected();
    QVERIFY(shown == scramFromCommand);
    QVERIFY(storeOffered);

    // Without a secret store the dialog says why that choice is closed.
    page.editor->setSecretStore(nullptr);
    page.editor->editSelected();
    QVERIFY(!storeOffered);
}

void TestSignInEditor::nothingSelectedOpensNothing()
{
    Page page;
    int runs = 0;
    page.editor->setDialogRunner([&](SignInDialog&) { return ++runs, true; });
    page.form.accountsPage().signInButton()->click();
    QCOMPARE(runs, 0);
    QVERIFY(page.book.isEmpty());
}

void TestSignInEditor::deleteRemovesTheEntry_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<bool>("withEntry");
    QTest::newRow("confirmed, with entry") << true << true;
    QTest::newRow("declined") << false << true;
    QTest::newRow("confirmed, no entry: no save") << true << false;
}

void TestSignInEditor::deleteRemovesTheEntry()
{
    QFETCH(bool, confirmed);
    QFETCH(bool, withEntry);
    Page page;
    if (withEntry)
        page.book.set(aliceKey, scramFromCommand);
    page.book.set(bobKey, scramFromCommand);
    page.accountEditor->selectRow(1);
    page.prompter.queueYesNo(confirmed);
    page.form.accountsPage().deleteButton()->click();

    QCOMPARE(page.list.rowCount(), confirmed ? 1 : 2);
    const bool removed = confirmed && withEntry;
    QCOMPARE(page.book.mailboxes().contains(aliceKey), withEntry && !removed);
    QVERIFY(page.book.find(bobKey) == scramFromCommand);
    QCOMPARE(page.saves, removed ? 1 : 0);
}

void TestSignInEditor::signInNowShowsTheAddressUntilClosed_data()
{
    QTest::addColumn<bool>("browserStarts");
    QTest::addColumn<QString>("note");
    QTest::newRow("browser started") << true << "Waiting For The Browser";
    QTest::newRow("nothing started") << false << "No Browser Could Be Started";
}

void TestSignInEditor::signInNowShowsTheAddressUntilClosed()
{
    QFETCH(bool, browserStarts);
    QFETCH(QString, note);
    Page page;
    page.accountEditor->selectRow(1);
    QList<QUrl> opened;
    int kept = 0;
    BrowserSignIn signIn(
        [&](const QUrl& url) {
            opened.append(url);
            return browserStarts;
        },
        [&](const MailboxKey&, const OAuthClient&, const OAuthTokens&, QString*) {
            ++kept;
            return true;
        },
        page.prompter);
    page.editor->setBrowserSignIn(&signIn);
    const AccountSignIn oauth{
        SignInMethod::OAuth2,
        SecretOrigin::SecretStore,
        {},
        OAuthClient{QString(), QStringLiteral("id-1"), QUrl(QStringLiteral("https://id.example/a")),
                    QUrl(QStringLiteral("https://id.example/t")), QStringLiteral("pop")}};
    page.book.set(aliceKey, oauth);

    QString shownNote;
    QString shownAddress;
    bool addressEnabled = false;
    bool addressReadOnly = false;
    bool blankBefore = false;
    BrowserSignInState waiting;
    page.editor->setDialogRunner([&](SignInDialog& dialog) {
        const SignInControls& c = dialog.controls();
        blankBefore = !c.address->isEnabled() && c.address->text().isEmpty() &&
                      c.browserNote->text().isEmpty();
        c.signInNow->click();
        waiting = signIn.state();
        shownNote = c.browserNote->text();
        shownAddress = c.address->text();
        addressEnabled = c.address->isEnabled();
        addressReadOnly = c.address->isReadOnly();
        return false;
    });
    page.editor->editSelected();

    QVERIFY(blankBefore);
    QCOMPARE(opened.size(), 1);
    const QUrl address = opened.first();
    QCOMPARE(address.adjusted(QUrl::RemoveQuery), oauth.oauth.authorizationUrl);
    const QUrlQuery query(address);
    QCOMPARE(query.queryItemValue(QStringLiteral("client_id")), QStringLiteral("id-1"));
    QCOMPARE(waiting.stage,
             browserStarts ? BrowserSignInStage::Waiting : BrowserSignInStage::OpenByHand);
    QVERIFY(waiting.mailbox == aliceKey);
    QVERIFY2(shownNote.startsWith(note), qPrintable(shownNote));
    QCOMPARE(shownAddress, address.toString(QUrl::FullyEncoded));
    QVERIFY(addressEnabled);
    QVERIFY(addressReadOnly);

    // The dialog closed: the sign-in is given up, its listener gone, and
    // nothing is kept or told.
    QCOMPARE(signIn.state().stage, BrowserSignInStage::Idle);
    const QUrl redirect(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
    QCOMPARE(redirect.host(), QStringLiteral("127.0.0.1"));
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, quint16(redirect.port()));
    QVERIFY(!probe.waitForConnected(2000));
    QTest::qWait(50);
    QCOMPARE(kept, 0);
    QCOMPARE(page.prompter.texts(), QStringList());
}

void TestSignInEditor::buttonToolTipFollowsTheSetting()
{
    MainWindow window;
    QPushButton* button = window.accountsPage().signInButton();
    QCOMPARE(button->objectName(), QStringLiteral("signInButton"));
    QCOMPARE(button->text(), QStringLiteral("Sign-&In..."));
    window.setToolTipsOff(false);
    window.handleFirstActivation();
    QVERIFY(!button->toolTip().isEmpty());
    window.setToolTipsOff(true);
    window.applyToolTips();
    QVERIFY(button->toolTip().isEmpty());
}

QTEST_MAIN(TestSignInEditor)
#include "test_sign_in_editor.moc"
