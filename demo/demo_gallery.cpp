// The gallery: each page and dialog of the window, as the screen shows it.
#include "demo_gallery.h"

#include "platform/oauth_presets.h"
#include "runs/check_progress.h"
#include "ui/about_box.h"
#include "ui/accounts_page.h"
#include "ui/log_pane.h"
#include "ui/mainwindow.h"
#include "ui/settings_pages.h"
#include "ui/sign_in_dialog.h"
#include "ui/window_menus.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <cstdio>

namespace {

constexpr int MailTab = 0;
constexpr int SettingsTab = 1;
constexpr int AccountsTab = 2;

// The window as the screen shows it, its frame included, and any pop-up or
// dialog over it.
bool saveScreenOf(const QList<QWidget*>& widgets, const QString& path)
{
    QTest::qWait(400); // painting and the window manager catch up
    QRect area;
    for (QWidget* widget : widgets)
        area = area.united(widget->frameGeometry());
    QScreen* screen = QGuiApplication::primaryScreen();
    const QPixmap picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (picture.isNull() || !picture.save(path)) {
        std::fprintf(stderr, "quorvamel-demo-shot: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool runCheck(MainWindow& window)
{
    QPushButton* checkMail = window.checkMailButton();
    checkMail->click();
    return QTest::qWaitFor([checkMail] { return checkMail->isEnabled(); }, 30000);
}

} // namespace

bool takeGallery(MainWindow& window, const QString& folder, const QString& prefix)
{
    QDir().mkpath(folder);
    auto path = [&](const QString& name) {
        return QDir(folder).filePath(prefix + name + QStringLiteral(".png"));
    };
    bool ok = true;
    auto shoot = [&](const QString& name, QList<QWidget*> extra = {}) {
        extra.prepend(&window);
        ok = saveScreenOf(extra, path(name)) && ok;
    };

    window.selectTab(MailTab);
    if (!runCheck(window))
        return false;
    shoot(QStringLiteral("mail"));

    window.selectTab(SettingsTab);
    for (int page = 1; page <= 3; ++page) {
        window.showSettingsPage(page);
        shoot(QStringLiteral("settings-p%1").arg(page));
    }
    window.showSettingsPage(1);

    window.selectTab(AccountsTab);
    shoot(QStringLiteral("accounts"));
    // The editor with an entry half typed and the list's pop-up menu open.
    const AccountEntryBoxes& entries = window.accountsPage().entryBoxes();
    entries.displayName->setText(QStringLiteral("Work"));
    entries.username->setText(QStringLiteral("someone@example.org"));
    entries.server->setText(QStringLiteral("pop.example.org"));
    entries.displayName->setFocus();
    QMenu* menu = window.menus().accountList.menu;
    menu->popup(window.accountListView()->viewport()->mapToGlobal(QPoint(40, 30)));
    shoot(QStringLiteral("account-editor"), {menu});
    menu->hide();
    for (QLineEdit* box : {entries.displayName, entries.username, entries.server})
        box->clear();

    // The sign-in dialog: an OAuth2 account on a preset, and one whose
    // password comes from a command with a quote left open.
    SignInDialog::Options options;
    options.mailbox = {QStringLiteral("outlook.office365.com"), 995,
                       QStringLiteral("someone@example.org")};
    options.accountTitle = QStringLiteral("someone@example.org@outlook.office365.com:995");
    options.font = window.accountsPage().frame()->font();
    options.pageColour = window.pageColour();
    SignInDialog signIn(options, &window);
    signIn.setSignIn({SignInMethod::OAuth2,
                      SecretOrigin::SecretStore,
                      {},
                      oauthPresets().first().client(QStringLiteral("0a1b2c3d-client"))});
    signIn.show();
    ok = saveScreenOf({&signIn}, path(QStringLiteral("sign-in-oauth2"))) && ok;
    signIn.setSignIn({SignInMethod::Scram, SecretOrigin::Command, {}, {}});
    signIn.controls().command->setText(QStringLiteral("pass show \"mail/someone"));
    ok = saveScreenOf({&signIn}, path(QStringLiteral("sign-in-command"))) && ok;
    signIn.close();

    window.selectTab(MailTab);
    // The progress bar as a long check shows it.
    window.logPane().showCheckProgress({1, 2, 41250, 100000});
    shoot(QStringLiteral("progress"));
    window.logPane().clearCheckProgress();

    window.toggleLogBox();
    shoot(QStringLiteral("log"));
    window.flipLogSplit();
    shoot(QStringLiteral("log-split"));
    window.flipLogSplit();
    window.toggleLogBox();

    QMenu* programMenu = window.menus().program.menu;
    programMenu->popup(window.mapToGlobal(QPoint(60, window.height() - 120)));
    shoot(QStringLiteral("menu"), {programMenu});
    programMenu->hide();

    window.menus().program.about->trigger();
    QTest::qWait(300);
    QWidget* about = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (qobject_cast<AboutDialog*>(top) && top->isVisible())
            about = top;
    }
    if (!about)
        return false;
    ok = saveScreenOf({about}, path(QStringLiteral("about"))) && ok;
    about->close();
    return ok;
}
