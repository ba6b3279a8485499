// The sign-in dialog: every choice shown and read back, which fields each
// choice uses, command text refused, presets, "Sign In Now" and the address
// it waits on, keyboard and tool tips.
#include "platform/oauth_presets.h"
#include "ui/command_line.h"
#include "ui/sign_in_dialog.h"
#include "ui/widget_walk.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

Q_DECLARE_METATYPE(AccountSignIn)

namespace {

const MailboxKey alice{QStringLiteral("pop.example.org"), 995, QStringLiteral("alice")};

SignInDialog::Options options(bool storeAvailable = true, bool tipsOff = false)
{
    SignInDialog::Options o;
    o.mailbox = alice;
    o.accountTitle = QStringLiteral("alice@pop.example.org:995");
    o.secretStoreAvailable = storeAvailable;
    o.toolTipsOff = tipsOff;
    return o;
}

AccountSignIn choice(SignInMethod method, SecretOrigin origin, QStringList command = {},
                     OAuthClient oauth = {})
{
    return {method, origin, std::move(command), std::move(oauth)};
}

OAuthClient presetClient(const QString& name, const QString& id)
{
    for (const OAuthPreset& preset : oauthPresets()) {
        if (preset.name == name)
            return preset.client(id);
    }
    return {};
}

const OAuthClient otherClient{
    QString(), QStringLiteral("client-7"), QUrl(QStringLiteral("https://id.example.org/authorize")),
    QUrl(QStringLiteral("https://id.example.org/token")), QStringLiteral("pop offline_access")};

QStringList enabledFields(const SignInDialog& dialog)
{
    const SignInControls& c = dialog.controls();
    QStringList names;
    for (QWidget* w : QList<QWidget*>{c.command, c.password, c.provider, c.clientId,
                                      c.authorization, c.token, c.scope, c.signInNow}) {
        if (w->isEnabled())
            names.append(w->objectName());
    }
    return names;
}

void choose(QComboBox* chooser, const QString& text)
{
    const int index = chooser->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    chooser->setCurrentIndex(index);
}

} // namespace

class TestSignInDialog : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void fieldsFollowTheChoice_data();
    void fieldsFollowTheChoice();
    void commandText_data();
    void commandText();
    void presetsFillEndpoints();
    void signInNowNamesAccountAndClient();
    void browserSignInShownForItsAccount_data();
    void browserSignInShownForItsAccount();
    void passwordOnlyForTheStore();
    void noSecretService();
    void tabOrder_data();
    void tabOrder();
    void accelerators_data();
    void accelerators();
    void enterAndEscape();
    void toolTips();
};

void TestSignInDialog::roundTrip_data()
{
    QTest::addColumn<AccountSignIn>("given");
    QTest::addColumn<AccountSignIn>("expected");
    using M = SignInMethod;
    using O = SecretOrigin;
    const QStringList spaced{QStringLiteral("/opt/secret tool/get"), QStringLiteral("lookup"),
                             QStringLiteral("a b"), QStringLiteral("say \"hi\"")};
    const QList<std::pair<const char*, AccountSignIn>> same{
        {"password, users file", choice(M::Password, O::UsersFile)},
        {"scram, users file", choice(M::Scram, O::UsersFile)},
        {"password, command", choice(M::Password, O::Command, {"pass", "show", "mail/alice"})},
        {"scram, command with spaces and quotes", choice(M::Scram, O::Command, spaced)},
        {"password, secret store", choice(M::Password, O::SecretStore)},
        {"scram, secret store", choice(M::Scram, O::SecretStore)},
        {"oauth2, token from a command", choice(M::OAuth2, O::Command, {"token", "--for", "a"})},
        {"oauth2, Google preset",
         choice(M::OAuth2, O::SecretStore, {}, presetClient(QStringLiteral("Google"), "g-1"))},
        {"oauth2, Microsoft preset",
         choice(M::OAuth2, O::SecretStore, {}, presetClient(QStringLiteral("Microsoft"), "m-1"))},
        {"oauth2, other provider", choice(M::OAuth2, O::UsersFile, {}, otherClient)},
    };
    for (const auto& [name, value] : same)
        QTest::newRow(name) << value << value;

    // What the chosen method and origin do not use is not kept.
    QTest::newRow("password drops command and client")
        << choice(M::Password, O::UsersFile, {"x"}, otherClient)
        << choice(M::Password, O::UsersFile);
    QTest::newRow("command drops client") << choice(M::OAuth2, O::Command, {"t"}, otherClient)
                                          << choice(M::OAuth2, O::Command, {"t"});
    OAuthClient unknown = otherClient;
    unknown.provider = QStringLiteral("Contoso");
    QTest::newRow("unknown provider becomes other")
        << choice(M::OAuth2, O::SecretStore, {}, unknown)
        << choice(M::OAuth2, O::SecretStore, {}, otherClient);
}

void TestSignInDialog::roundTrip()
{
    QFETCH(AccountSignIn, given);
    QFETCH(AccountSignIn, expected);
    SignInDialog dialog(options());
    dialog.setSignIn(given);
    QCOMPARE(dialog.problem(), QString());
    const AccountSignIn read = dialog.signIn();
    QCOMPARE(int(read.method), int(expected.method));
    QCOMPARE(int(read.secretOrigin), int(expected.secretOrigin));
    QCOMPARE(read.secretCommand, expected.secretCommand);
    QCOMPARE(read.oauth.provider, expected.oauth.provider);
    QCOMPARE(read.oauth.clientId, expected.oauth.clientId);
    QCOMPARE(read.oauth.authorizationUrl, expected.oauth.authorizationUrl);
    QCOMPARE(read.oauth.tokenUrl, expected.oauth.tokenUrl);
    QCOMPARE(read.oauth.scope, expected.oauth.scope);
    QVERIFY(read == expected);

    // A second dialog over the value read shows the same choice again.
    SignInDialog again(options());
    again.setSignIn(read);
    QVERIFY(again.signIn() == expected);
}

void TestSignInDialog::fieldsFollowTheChoice_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("origin");
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QStringList>("enabled");
    const QStringList oauthPreset{"providerChooser", "clientIdBox", "signInNowButton"};
    const QStringList oauthOther{"providerChooser", "clientIdBox", "authorizationUrlBox",
                                 "tokenUrlBox",     "scopeBox",    "signInNowButton"};
    QTest::newRow("password, users file") << "Password"
                                          << "Users File"
                                          << "Google" << QStringList{};
    QTest::newRow("scram, command") << "SCRAM-SHA-256"
                                    << "Command"
                                    << "Google" << QStringList{"commandBox"};
    QTest::newRow("password, secret store") << "Password"
                                            << "Secret Store"
                                            << "Google" << QStringList{"storePasswordBox"};
    QTest::newRow("oauth2, command") << "OAuth2"
                                     << "Command"
                                     << "Google" << QStringList{"commandBox"};
    QTest::newRow("oauth2, preset") << "OAuth2"
                                    << "Secret Store"
                                    << "Yahoo" << oauthPreset;
    QTest::newRow("oauth2, other") << "OAuth2"
                                   << "Users File"
                                   << "Other" << oauthOther;
}

void TestSignInDialog::fieldsFollowTheChoice()
{
    QFETCH(QString, method);
    QFETCH(QString, origin);
    QFETCH(QString, provider);
    QFETCH(QStringList, enabled);
    SignInDialog dialog(options());
    const SignInControls& c = dialog.controls();
    // Start from the opposite corner so every field has to change.
    dialog.setSignIn(choice(SignInMethod::OAuth2, SecretOrigin::UsersFile, {}, otherClient));
    choose(c.method, method);
    choose(c.origin, origin);
    choose(c.provider, provider);
    c.command->setText(QStringLiteral("pass show alice"));
    QCOMPARE(enabledFields(dialog), enabled);
    QVERIFY(c.method->isEnabled());
    QVERIFY(c.origin->isEnabled());
}

void TestSignInDialog::commandText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString unclosed = QStringLiteral("The Command Has A Quote (\") That Is Not Closed");
    QTest::newRow("plain") << "pass show mail/alice" << QStringList{"pass", "show", "mail/alice"}
                           << "";
    QTest::newRow("grouped") << "\"/opt/my tool\" get \"a b\""
                             << QStringList{"/opt/my tool", "get", "a b"} << "";
    QTest::newRow("literal quote") << "echo \"\"\"x\"\"\"" << QStringList{"echo", "\"x\""} << "";
    QTest::newRow("unclosed quote") << "pass show \"mail/alice" << QStringList{} << unclosed;
    QTest::newRow("unclosed after a group") << "\"a b\" \"c" << QStringList{} << unclosed;
    QTest::newRow("empty") << "" << QStringList{} << "No Command Was Entered";
    QTest::newRow("only blanks") << "   \t" << QStringList{} << "No Command Was Entered";
}

void TestSignInDialog::commandText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const CommandLine parsed = parseCommandLine(text);
    QCOMPARE(parsed.arguments, arguments);
    QCOMPARE(parsed.error, message);
    if (message.isEmpty())
        QCOMPARE(parseCommandLine(joinCommandLine(arguments)).arguments, arguments);

    SignInDialog dialog(options());
    dialog.setSignIn(choice(SignInMethod::Scram, SecretOrigin::Command, {"old"}));
    dialog.controls().command->setText(text);
    dialog.show();
    QTest::keyClick(dialog.controls().command, Qt::Key_Return);
    QCOMPARE(dialog.controls().message->text(), message);
    QCOMPARE(dialog.result(), message.isEmpty() ? int(QDialog::Accepted) : 0);
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    if (message.isEmpty())
        QCOMPARE(dialog.signIn().secretCommand, arguments);
}

void TestSignInDialog::presetsFillEndpoints()
{
    SignInDialog dialog(options());
    const SignInControls& c = dialog.controls();
    dialog.setSignIn(choice(SignInMethod::OAuth2, SecretOrigin::SecretStore, {}, otherClient));
    const QList<OAuthPreset> presets = oauthPresets();
    QVERIFY(!presets.isEmpty());
    for (const OAuthPreset& preset : presets) {
        choose(c.provider, preset.name);
        QCOMPARE(c.authorization->text(), preset.authorizationUrl.toString());
        QCOMPARE(c.token->text(), preset.tokenUrl.toString());
        QCOMPARE(c.scope->text(), preset.scope);
        QVERIFY(dialog.signIn().oauth == preset.client(otherClient.clientId));
    }
    // "Other" starts from the last preset's addresses, now editable.
    choose(c.provider, SignInDialog::otherProvider());
    QVERIFY(c.authorization->isEnabled());
    QCOMPARE(c.token->text(), presets.last().tokenUrl.toString());
    c.token->setText(QStringLiteral("not an address"));
    QCOMPARE(dialog.problem(),
             QStringLiteral("The Authorization And Token URLs Must Be Web Addresses"));
    QVERIFY(!c.signInNow->isEnabled());
    c.token->setText(QStringLiteral("https://id.example.org/token"));
    c.clientId->clear();
    QCOMPARE(dialog.problem(), QStringLiteral("No Client Id Was Entered"));
    QVERIFY(!c.signInNow->isEnabled());
}

void TestSignInDialog::signInNowNamesAccountAndClient()
{
    SignInDialog dialog(options());
    dialog.setSignIn(choice(SignInMethod::OAuth2, SecretOrigin::SecretStore, {}, otherClient));
    QSignalSpy requested(&dialog, &SignInDialog::signInRequested);
    dialog.controls().signInNow->click();
    QCOMPARE(requested.size(), 1);
    QVERIFY(requested.at(0).at(0).value<MailboxKey>() == alice);
    QVERIFY(requested.at(0).at(1).value<OAuthClient>() == otherClient);
}

void TestSignInDialog::browserSignInShownForItsAccount_data()
{
    QTest::addColumn<int>("stage");
    QTest::addColumn<bool>("thisAccount");
    QTest::addColumn<bool>("shown");
    QTest::newRow("waiting") << int(BrowserSignInStage::Waiting) << true << true;
    QTest::newRow("open by hand") << int(BrowserSignInStage::OpenByHand) << true << true;
    QTest::newRow("another account") << int(BrowserSignInStage::Waiting) << false << false;
    QTest::newRow("ended") << int(BrowserSignInStage::Idle) << true << false;
}

void TestSignInDialog::browserSignInShownForItsAccount()
{
    QFETCH(int, stage);
    QFETCH(bool, thisAccount);
    QFETCH(bool, shown);
    SignInDialog dialog(options());
    dialog.setSignIn(choice(SignInMethod::OAuth2, SecretOrigin::SecretStore, {}, otherClient));
    const QUrl address(
        QStringLiteral("https://id.example.org/authorize?client_id=client-7&state=a%2Fb"));
    MailboxKey mailbox = alice;
    if (!thisAccount)
        mailbox.userName = QStringLiteral("bob");
    // A state shown before is replaced, not kept.
    dialog.showBrowserSignIn(
        {BrowserSignInStage::Waiting, alice, QUrl(QStringLiteral("https://old"))});
    dialog.showBrowserSignIn({BrowserSignInStage(stage), mailbox, address});

    const SignInControls& c = dialog.controls();
    QCOMPARE(c.address->isEnabled(), shown);
    QCOMPARE(c.address->text(),
             shown
                 ? QStringLiteral("https://id.example.org/authorize?client_id=client-7&state=a%2Fb")
                 : QString());
    QCOMPARE(c.browserNote->text().isEmpty(), !shown);
    QVERIFY(c.address->isReadOnly());
    // Entries stay usable: "Sign In Now" again starts over.
    QVERIFY(c.signInNow->isEnabled());
}

void TestSignInDialog::passwordOnlyForTheStore()
{
    SignInDialog dialog(options());
    const SignInControls& c = dialog.controls();
    dialog.setSignIn(choice(SignInMethod::Scram, SecretOrigin::SecretStore));
    c.password->setText(QStringLiteral("s3cret"));
    QCOMPARE(dialog.passwordToStore(), QStringLiteral("s3cret"));
    choose(c.origin, QStringLiteral("Users File"));
    QCOMPARE(dialog.passwordToStore(), QString());
    choose(c.origin, QStringLiteral("Secret Store"));
    choose(c.method, QStringLiteral("OAuth2"));
    QCOMPARE(dialog.passwordToStore(), QString());
}

void TestSignInDialog::noSecretService()
{
    SignInDialog dialog(options(false, true));
    const SignInControls& c = dialog.controls();
    auto* items = qobject_cast<QStandardItemModel*>(c.origin->model());
    QStandardItem* store = items->item(int(SecretOrigin::SecretStore));
    QVERIFY(!store->isEnabled());
    QVERIFY(store->toolTip().contains(QStringLiteral("No Secret Service")));
    // A choice stored while a service ran is still shown, but nothing can
    // be typed for the store; the reason shows even with the tips off.
    dialog.setSignIn(choice(SignInMethod::Password, SecretOrigin::SecretStore));
    QVERIFY(!c.password->isEnabled());
    QVERIFY(c.password->toolTip().contains(QStringLiteral("No Secret Service")));
    QVERIFY(c.method->toolTip().isEmpty());
    QVERIFY(items->item(int(SecretOrigin::Command))->isEnabled());
}

void TestSignInDialog::tabOrder_data()
{
    QTest::addColumn<AccountSignIn>("state");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("command") << choice(SignInMethod::Password, SecretOrigin::Command, {"x"})
                             << QStringList{"methodChooser", "originChooser", "commandBox",
                                            "okButton", "cancelButton"};
    QTest::newRow("secret store") << choice(SignInMethod::Scram, SecretOrigin::SecretStore)
                                  << QStringList{"methodChooser", "originChooser",
                                                 "storePasswordBox", "okButton", "cancelButton"};
    QTest::newRow("oauth2, other")
        << choice(SignInMethod::OAuth2, SecretOrigin::SecretStore, {}, otherClient)
        << QStringList{"methodChooser", "originChooser",       "providerChooser",
                       "clientIdBox",   "authorizationUrlBox", "tokenUrlBox",
                       "scopeBox",      "signInNowButton",     "okButton",
                       "cancelButton"};
}

void TestSignInDialog::tabOrder()
{
    QFETCH(AccountSignIn, state);
    QFETCH(QStringList, order);
    SignInDialog dialog(options());
    dialog.setSignIn(state);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.controls().method->setFocus();
    QStringList visited;
    for (int i = 0; i < order.size(); ++i) {
        visited.append(QApplication::focusWidget()->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, order);
    // The round closes: after the last control Tab comes back to the first.
    QCOMPARE(QApplication::focusWidget()->objectName(), order.first());
}

void TestSignInDialog::accelerators_data()
{
    QTest::addColumn<AccountSignIn>("state");
    QTest::addColumn<char>("key");
    QTest::addColumn<QString>("focused");
    const AccountSignIn command = choice(SignInMethod::Password, SecretOrigin::Command, {"x"});
    const AccountSignIn store = choice(SignInMethod::Password, SecretOrigin::SecretStore);
    const AccountSignIn oauth =
        choice(SignInMethod::OAuth2, SecretOrigin::SecretStore, {}, otherClient);
    QTest::newRow("method") << command << 'M' << "methodChooser";
    QTest::newRow("from") << command << 'F' << "originChooser";
    QTest::newRow("command") << command << 'C' << "commandBox";
    QTest::newRow("password") << store << 'P' << "storePasswordBox";
    QTest::newRow("provider") << oauth << 'R' << "providerChooser";
    QTest::newRow("client id") << oauth << 'I' << "clientIdBox";
    QTest::newRow("authorization") << oauth << 'A' << "authorizationUrlBox";
    QTest::newRow("token") << oauth << 'T' << "tokenUrlBox";
    QTest::newRow("scope") << oauth << 'S' << "scopeBox";
}

void TestSignInDialog::accelerators()
{
    QFETCH(AccountSignIn, state);
    QFETCH(char, key);
    QFETCH(QString, focused);
    SignInDialog dialog(options());
    dialog.setSignIn(state);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.controls().ok->setFocus();
    QTest::keyClick(&dialog, key, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget()->objectName(), focused);
}

void TestSignInDialog::enterAndEscape()
{
    SignInDialog dialog(options());
    dialog.setSignIn(choice(SignInMethod::Scram, SecretOrigin::UsersFile));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(dialog.controls().method, Qt::Key_Escape);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());

    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.controls().ok->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    // "Sign In Now" asks nothing of the keyboard's Enter: OK is the default.
    QVERIFY(dialog.controls().ok->isDefault());
    QVERIFY(!dialog.controls().signInNow->isDefault());
}

void TestSignInDialog::toolTips()
{
    SignInDialog on(options());
    SignInDialog off(options(true, true));
    const QList<QWidget*> onControls = focusableInReadingOrder(&on);
    const QList<QWidget*> offControls = focusableInReadingOrder(&off);
    QCOMPARE(onControls.size(), 13);
    for (QWidget* control : onControls)
        QVERIFY2(!control->toolTip().isEmpty(), qPrintable(control->objectName()));
    for (QWidget* control : offControls)
        QVERIFY2(control->toolTip().isEmpty(), qPrintable(control->objectName()));
}

QTEST_MAIN(TestSignInDialog)
#include "test_sign_in_dialog.moc"
