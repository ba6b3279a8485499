// "Sign In Now" in the window as a user's machine takes it: the window
// program on a real X display beside a real Secret Service, an account set
// to OAuth2 in the sign-in dialog against the test's local authorization
// server. While the sign-in waits, the dialog shows the address to open.
// Where the desktop's opener works (xdg-open, which hands the address to
// $BROWSER, here a script that follows the provider's redirect with curl)
// the sign-in completes by itself and the tokens go into the Secret
// Service. Where nothing can open a browser, or the browser xdg-open starts
// fails, the address shown, opened by hand, completes the sign-in too.
// Closing the dialog while it waits gives the sign-in up.
//
// Qt's offscreen platform has no opener at all (its openUrl always fails),
// so the program starts a display of its own and runs its tests again on
// it, on the xcb platform, as the window program runs on a desktop.
#include "app/check_sign_in.h"
#include "app/startup.h"
#include "app/window_program.h"
#include "platform/secret_service.h"
#include "runs/oauth_keeper.h"
#include "runs/sign_in_book.h"
#include "storage/settings_record.h"
#include "support/common_files.h"
#include "support/common_modal.h"
#include "support/common_scripted_prompter.h"
#include "support/desktop_rig.h"
#include "support/servers_oauth.h"
#include "support/storage_accounts.h"
#include "ui/accounts_page.h"
#include "ui/message_box_prompter.h"
#include "ui/sign_in_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <deque>
#include <functional>
#include <optional>

namespace {

// Set in the run on the test's own display; its value says why the tests
// cannot run there when not empty.
constexpr char OnDisplay[] = "QUORVAMEL_TEST_ON_DISPLAY";
constexpr int SignInTimeoutMs = 30000;

const QString server = QStringLiteral("127.0.0.1");
const MailboxKey aliceBox{server, 995, QStringLiteral("alice")};
const MailboxKey bobBox{server, 995, QStringLiteral("bob")};

void choose(QComboBox* chooser, const QString& text)
{
    const int index = chooser->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    chooser->setCurrentIndex(index);
}

// What the user saw while signing in.
struct Seen
{
    bool dialog = false;
    QString note;         // the dialog's note while the sign-in waited
    QString address;      // the address the dialog showed then
    QStringList messages; // the message boxes' texts, in order
};

// What a user's browser does with the address: it follows the provider's
// redirect back to the program.
QStringList curlFollowing(const QString& address)
{
    return {QStringLiteral("--silent"),
            QStringLiteral("--location"),
            QStringLiteral("--max-time"),
            QStringLiteral("20"),
            QStringLiteral("--output"),
            QStringLiteral("/dev/null"),
            address};
}

QStringList linesOf(const QString& path)
{
    return QString::fromUtf8(fileBytes(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestWindowSignInKeyring : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    // First: Qt keeps the opener it finds for the rest of the process, and
    // nothing is found only before one is.
    void noOpenerShowsTheAddress();
    void opensThroughXdgOpen();
    void browserFailsAddressOpenedByHand();
    void closingTheDialogGivesUp_data();
    void closingTheDialogGivesUp();
    void deletedAccountTakesItsSignIn();

private:
    void selectRow(int row);
    // Deletes the row through the accounts page, confirming the question.
    void deleteRow(int row);
    // Selects the account's row, clicks "Sign-In...", sets the dialog to
    // OAuth2 with the server's addresses and clicks "Sign In Now". What the
    // dialog shows while the sign-in waits is noted, then whileWaiting acts
    // on it as the user would. Each message box is read and closed; the
    // dialog, when still open, is closed with OK after the messages
    // expected have come.
    void signInFromWindow(int row, int messages, Seen& seen,
                          const std::function<void(SignInDialog*)>& whileWaiting = {});
    std::optional<OAuthTokens> keptTokens(const MailboxKey& mailbox);

    OAuthServer m_server;
    QTemporaryDir m_program;
    QTemporaryDir m_home;
    StartupResult m_started;
    std::unique_ptr<MessageBoxPrompter> m_prompter;
    std::unique_ptr<WindowProgram> m_window;
    QString m_browser;
    QString m_browserLog;
    QString m_failingBrowser; // notes the address, then fails
    QString m_failingBrowserLog;
    QString m_curl;
};

void TestWindowSignInKeyring::initTestCase()
{
    const QString problem = qEnvironmentVariable(OnDisplay);
    if (problem.startsWith(QStringLiteral("not installed")))
        QSKIP(qPrintable(problem));
    QVERIFY2(problem == QStringLiteral("ready"), qPrintable(problem));
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty(),
             "xdg-open is not installed (scripts/install-deps.sh installs xdg-utils)");
    m_curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    QVERIFY2(!m_curl.isEmpty(), "curl is not installed");
    QVERIFY(m_server.listen());

    // The browser: notes the address it was given, then follows the
    // authorization server's redirect to the program's loopback listener.
    m_browserLog = m_home.filePath(QStringLiteral("browser.log"));
    m_browser = m_home.filePath(QStringLiteral("browser.sh"));
    writeBytes(m_browser, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + m_browserLog.toUtf8() +
                              "'\nexec '" + m_curl.toUtf8() +
                              "' --silent --location --max-time 20 --output /dev/null \"$1\"\n");
    m_failingBrowserLog = m_home.filePath(QStringLiteral("failing-browser.log"));
    m_failingBrowser = m_home.filePath(QStringLiteral("failing-browser.sh"));
    writeBytes(m_failingBrowser, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" +
                                     m_failingBrowserLog.toUtf8() + "'\nexit 1\n");
    for (const QString& script : {m_browser, m_failingBrowser})
        QVERIFY(
            QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    // A first start of the program with two accounts, as the user left it.
    writeBytes(m_program.filePath(QStringLiteral("quorvamel.ini")),
               SettingsRecord::templateRecord().encode());
    ScriptedPrompter startupPrompter;
    m_started =
        runStartupSequence({programFolderFrom(m_program.path()), m_home.path(), &startupPrompter});
    QCOMPARE(m_started.outcome, StartupResult::ShowWindow);
    QVERIFY(writeAccounts(m_started.dataFolder + QLatin1Char('/') + UsersFileName,
                          {{"Box alice", "alice", "unused", server, 995, 0},
                           {"Box bob", "bob", "unused", server, 995, 0},
                           {"Alice again", "alice", "unused", server, 995, 0}}));
    m_prompter = std::make_unique<MessageBoxPrompter>();
    m_window = std::make_unique<WindowProgram>(m_started, m_program.path(), *m_prompter);
    QVERIFY(m_window->accountsLoaded());
    m_window->window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_window->window()));
}

void TestWindowSignInKeyring::signInFromWindow(
    int row, int messages, Seen& seen, const std::function<void(SignInDialog*)>& whileWaiting)
{
    MainWindow& window = m_window->window();
    selectRow(row);
    const OAuthClient client = m_server.client(QStringLiteral("pop offline_access"));

    // What waits for the dialogs goes when the click returns.
    QObject scope;
    std::deque<bool> messageSeen;
    std::function<void()> nextMessage;
    SignInDialog* open = nullptr;
    nextMessage = [&] {
        messageSeen.push_back(false);
        whenOpen<QMessageBox>(
            [&](QMessageBox* box) {
                seen.messages.append(box->text());
                box->button(QMessageBox::Ok)->click();
                if (seen.messages.size() < messages)
                    nextMessage();
                else if (open->isVisible())
                    open->controls().ok->click();
            },
            &messageSeen.back(), &scope);
    };
    whenOpen<SignInDialog>(
        [&](SignInDialog* dialog) {
            open = dialog;
            const SignInControls& c = dialog->controls();
            choose(c.method, QStringLiteral("OAuth2"));
            choose(c.origin, QStringLiteral("Secret Store"));
            choose(c.provider, SignInDialog::otherProvider());
            c.clientId->setText(client.clientId);
            c.authorization->setText(client.authorizationUrl.toString());
            c.token->setText(client.tokenUrl.toString());
            c.scope->setText(client.scope);
            QVERIFY2(c.signInNow->isEnabled(), qPrintable(c.message->text()));
            QVERIFY(!c.address->isEnabled());
            if (messages > 0)
                nextMessage();
            c.signInNow->click();
            QVERIFY(QTest::qWaitFor([&c] { return c.address->isEnabled(); }, SignInTimeoutMs));
            seen.note = c.browserNote->text();
            seen.address = c.address->text();
            QVERIFY(c.address->isReadOnly());
            if (whileWaiting)
                whileWaiting(dialog);
        },
        &seen.dialog, &scope);
    // A message box that never comes would leave the dialog open and the
    // click waiting: the time-out closes what is open.
    QTimer giveUp;
    giveUp.setInterval(SignInTimeoutMs);
    QObject::connect(&giveUp, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    giveUp.start();
    window.accountsPage().signInButton()->click();
    giveUp.stop();
}

void TestWindowSignInKeyring::selectRow(int row)
{
    QTreeView* list = m_window->window().accountListView();
    list->selectionModel()->select(list->model()->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TestWindowSignInKeyring::deleteRow(int row)
{
    MainWindow& window = m_window->window();
    const int rows = window.accountListView()->model()->rowCount();
    selectRow(row);
    QObject scope;
    bool asked = false;
    whenOpen<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); }, &asked,
                          &scope);
    window.accountsPage().deleteButton()->click();
    QVERIFY(asked);
    QCOMPARE(window.accountListView()->model()->rowCount(), rows - 1);
}

std::optional<OAuthTokens> TestWindowSignInKeyring::keptTokens(const MailboxKey& mailbox)
{
    SecretServiceStore store;
    const SecretLookup lookup =
        store.lookup({mailbox.server, mailbox.port, mailbox.userName, SecretKind::OAuthTokens});
    if (!lookup.serviceRuns || !lookup.found)
        return std::nullopt;
    return oauthTokensFromJson(lookup.secret);
}

void TestWindowSignInKeyring::noOpenerShowsTheAddress()
{
    // No xdg-open, no $BROWSER and no browser Qt knows on the PATH.
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir emptyBin;
    qputenv("PATH", emptyBin.path().toUtf8());
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");
    QProcess byHand;
    Seen seen;
    // The user opens the address shown in a browser of their own.
    signInFromWindow(0, 1, seen,
                     [&](SignInDialog*) { byHand.start(m_curl, curlFollowing(seen.address)); });
    qputenv("PATH", path);
    byHand.waitForFinished(SignInTimeoutMs);

    QVERIFY(seen.dialog);
    QVERIFY2(seen.note.startsWith(QStringLiteral("No Browser Could Be Started: Open This Address")),
             qPrintable(seen.note));
    QVERIFY2(seen.address.startsWith(m_server.url(QStringLiteral("/authorize")).toString() +
                                     QLatin1Char('?')),
             qPrintable(seen.address));
    QVERIFY2(seen.address.contains(QStringLiteral("code_challenge=")), qPrintable(seen.address));
    // The address is told once, in the dialog: no message box repeats it.
    QCOMPARE(seen.messages, QStringList{QStringLiteral("Signed In: alice")});
    QCOMPARE(m_server.requests(QStringLiteral("/authorize")), 1);
    QVERIFY(!QFile::exists(m_browserLog));

    const std::optional<OAuthTokens> tokens = keptTokens(aliceBox);
    QVERIFY(tokens.has_value());
    QVERIFY(m_server.isActive(tokens->accessToken.toLatin1()));
}

void TestWindowSignInKeyring::opensThroughXdgOpen()
{
    // A desktop xdg-open knows no opener of: it hands the address to the
    // browser $BROWSER names.
    qputenv("XDG_CURRENT_DESKTOP", "X-Generic");
    qputenv("BROWSER", m_browser.toUtf8());
    const qint32 authorizations = m_server.requests(QStringLiteral("/authorize"));
    Seen seen;
    signInFromWindow(1, 1, seen);

    QVERIFY(seen.dialog);
    // Whether a browser came up is not known: the address stays in view.
    QVERIFY2(seen.note.startsWith(QStringLiteral("Waiting For The Browser")),
             qPrintable(seen.note));
    QCOMPARE(seen.messages, QStringList{QStringLiteral("Signed In: bob")});
    QCOMPARE(m_server.requests(QStringLiteral("/authorize")), authorizations + 1);
    QCOMPARE(linesOf(m_browserLog), QStringList{seen.address});
    QVERIFY2(seen.address.startsWith(m_server.url(QStringLiteral("/authorize")).toString()),
             qPrintable(seen.address));

    // The tokens are in the Secret Service, not in the owner-only file,
    // which holds the account's new way of signing in.
    const std::optional<OAuthTokens> tokens = keptTokens(bobBox);
    QVERIFY(tokens.has_value());
    QVERIFY(m_server.isActive(tokens->accessToken.toLatin1()));
    QVERIFY(!tokens->refreshToken.isEmpty());
    const QString path = signInBookPath(m_started.dataFolder);
    QCOMPARE(fileMode(path), mode_t(0600));
    SignInBook book;
    QString error;
    QVERIFY2(book.load(path, &error), qPrintable(error));
    for (const MailboxKey& mailbox : {aliceBox, bobBox}) {
        const AccountSignIn signIn = book.find(mailbox);
        QCOMPARE(signIn.method, SignInMethod::OAuth2);
        QCOMPARE(signIn.oauth, m_server.client(QStringLiteral("pop offline_access")));
        QVERIFY(!book.tokens(mailbox).has_value());
    }
    QVERIFY(!fileBytes(path).contains(tokens->refreshToken.toUtf8()));
}

void TestWindowSignInKeyring::browserFailsAddressOpenedByHand()
{
    // xdg-open starts (so the program's opener succeeds), but the browser
    // it runs fails and xdg-open gives up: the user sees nothing happen
    // and opens the address the dialog shows in another browser.
    qputenv("XDG_CURRENT_DESKTOP", "X-Generic");
    qputenv("BROWSER", m_failingBrowser.toUtf8());
    const qsizetype failedBefore = linesOf(m_failingBrowserLog).size();
    const std::optional<OAuthTokens> before = keptTokens(aliceBox);
    QVERIFY(before.has_value());
    QProcess byHand;
    Seen seen;
    signInFromWindow(2, 1, seen, [&](SignInDialog*) {
        QVERIFY(QTest::qWaitFor([&] { return linesOf(m_failingBrowserLog).size() > failedBefore; },
                                SignInTimeoutMs));
        byHand.start(m_curl, curlFollowing(seen.address));
    });
    byHand.waitForFinished(SignInTimeoutMs);

    QVERIFY(seen.dialog);
    QVERIFY2(seen.note.startsWith(QStringLiteral("Waiting For The Browser")),
             qPrintable(seen.note));
    // xdg-open may try the browser more than once: each try had the
    // address the dialog showed.
    const QStringList failed = linesOf(m_failingBrowserLog).mid(failedBefore);
    QVERIFY(!failed.isEmpty());
    for (const QString& address : failed)
        QCOMPARE(address, seen.address);
    QCOMPARE(seen.messages, QStringList{QStringLiteral("Signed In: alice")});

    // The new sign-in's tokens replace the first ones.
    const std::optional<OAuthTokens> tokens = keptTokens(aliceBox);
    QVERIFY(tokens.has_value());
    QVERIFY(m_server.isActive(tokens->accessToken.toLatin1()));
    QVERIFY(tokens->accessToken != before->accessToken);
}

void TestWindowSignInKeyring::closingTheDialogGivesUp_data()
{
    QTest::addColumn<bool>("byCancelButton");
    QTest::newRow("Cancel button") << true;
    QTest::newRow("window closed") << false;
}

void TestWindowSignInKeyring::closingTheDialogGivesUp()
{
    QFETCH(bool, byCancelButton);
    qputenv("XDG_CURRENT_DESKTOP", "X-Generic");
    qputenv("BROWSER", m_failingBrowser.toUtf8());
    const std::optional<OAuthTokens> before = keptTokens(bobBox);
    QVERIFY(before.has_value());
    const QString path = signInBookPath(m_started.dataFolder);
    const QByteArray bookBefore = fileBytes(path);
    Seen seen;
    signInFromWindow(1, 0, seen, [byCancelButton](SignInDialog* dialog) {
        if (byCancelButton)
            dialog->controls().cancel->click();
        else
            dialog->close();
    });
    QVERIFY(seen.dialog);
    QVERIFY(!seen.address.isEmpty());

    // The address opened after all finds no listener: the provider's
    // redirect to the loopback port is refused (curl: could not connect),
    // and no message box comes late.
    QObject scope;
    bool lateMessage = false;
    whenOpen<QMessageBox>([](QMessageBox* box) { box->close(); }, &lateMessage, &scope);
    QProcess late;
    late.start(m_curl, curlFollowing(seen.address));
    QVERIFY(
        QTest::qWaitFor([&late] { return late.state() == QProcess::NotRunning; }, SignInTimeoutMs));
    QCOMPARE(late.exitCode(), 7);
    QTest::qWait(500);
    QVERIFY(!lateMessage);
    QCOMPARE(seen.messages, QStringList());
    const std::optional<OAuthTokens> after = keptTokens(bobBox);
    QVERIFY(after.has_value());
    QCOMPARE(after->accessToken, before->accessToken);
    QCOMPARE(fileBytes(path), bookBefore);
}

void TestWindowSignInKeyring::deletedAccountTakesItsSignIn()
{
    const QString path = signInBookPath(m_started.dataFolder);
    const auto book = [&path] {
        SignInBook book;
        QString error;
        if (!book.load(path, &error))
            qWarning("%s", qPrintable(error));
        return book;
    };
    QVERIFY(keptTokens(aliceBox) && keptTokens(bobBox));

    // The first account reads the same mailbox as this one: all stays.
    deleteRow(2);
    QVERIFY(keptTokens(aliceBox).has_value());
    QCOMPARE(book().find(aliceBox).method, SignInMethod::OAuth2);

    deleteRow(1);
    QVERIFY(!keptTokens(bobBox).has_value());
    QVERIFY(!book().mailboxes().contains(bobBox));
    QVERIFY(keptTokens(aliceBox).has_value());
    QCOMPARE(book().find(aliceBox).method, SignInMethod::OAuth2);
}

// Runs the tests again on a display of their own: the desktop rig's X
// server, with the xcb platform a desktop gives the window program.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(OnDisplay)) {
        QApplication app(argc, argv);
        TestWindowSignInKeyring test;
        QTEST_SET_MAIN_SOURCE_PATH
        return QTest::qExec(&test, argc, argv);
    }
    QCoreApplication app(argc, argv);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    DesktopRig desktop;
    if (const QStringList missing = DesktopRig::missingTools(); !missing.isEmpty()) {
        environment.insert(OnDisplay,
                           QStringLiteral("not installed: ") + missing.join(QLatin1Char(' ')));
    } else if (!desktop.start()) {
        environment.insert(OnDisplay, desktop.errorString());
    } else {
        environment.insert(OnDisplay, QStringLiteral("ready"));
        environment.insert(QStringLiteral("DISPLAY"), desktop.display());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    }
    QProcess tests;
    tests.setProcessChannelMode(QProcess::ForwardedChannels);
    tests.setProcessEnvironment(environment);
    tests.start(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
    if (!tests.waitForFinished(-1) || tests.exitStatus() != QProcess::NormalExit)
        return 1;
    return tests.exitCode();
}

#include "test_window_sign_in_keyring.moc"
