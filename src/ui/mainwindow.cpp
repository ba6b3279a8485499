#include "ui/mainwindow.h"

#include "model/account_list_model.h"
#include "model/mail_list_model.h"
#include "platform/program_title.h"
#include "ui/accounts_page.h"
#include "ui/bottom_bar.h"
#include "ui/card_pictures.h"
#include "ui/log_pane.h"
#include "ui/mail_list_view.h"
#include "ui/mail_page.h"
#include "ui/settings_pages.h"
#include "ui/tab_strip.h"
#include "ui/widget_walk.h"
#include "ui/window_controls.h"

#include <QComboBox>
#include <QCursor>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

namespace {

// Design client area of the window, in twips.
constexpr int DesignClientWidth = 5640;
constexpr int DesignClientHeight = 4995;
// The bottom row sits at client height - 690 and is 330 high.
constexpr int BottomRowTop = DesignClientHeight - 690;
constexpr int BottomRowHeight = 330;

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), m_surface(new QWidget(this)), m_look(m_surface)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(windowCaption());
    setWindowIcon(CardPictures::windowIcon());
    m_surface->setObjectName(QStringLiteral("Form10Surface"));
    setCentralWidget(m_surface);

    buildTabStrip();
    m_mailPage = std::make_unique<MailPage>(m_surface, this);
    m_logPane = new LogPane(this, m_surface);
    buildAlarm();
    m_settingsPages = new SettingsPages(m_surface);
    m_accountsPage = std::make_unique<AccountsPage>(m_surface, this);
    m_bottomBar = std::make_unique<BottomBar>(m_surface, BottomRowTop, BottomRowHeight);
    m_timers = buildWindowTimers(this);
    m_menus = buildWindowMenus(this);
    connectControls();
    applyDesignFonts();

    setMailListModel(nullptr);
    setAccountListModel(nullptr);
    logBox()->raise();
    m_alarm.box->raise();
    prepareLook();

    resize(twipsToPixels(DesignClientWidth), twipsToPixels(DesignClientHeight));
    selectTab(MailTab);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildTabStrip()
{
    m_tabStrip =
        makeControl<TabStrip>(m_surface, QStringLiteral("TabStrip1"), {45, 45, 5535, 4185});
    m_tabStrip->addTab(QStringLiteral("Mail Window"));
    m_tabStrip->addTab(QStringLiteral("Run Settings"));
    m_tabStrip->addTab(QStringLiteral("Configure Usernames"));
    connect(m_tabStrip, &QTabBar::currentChanged, this, &MainWindow::onTabChanged);
    connect(m_tabStrip, &QTabBar::tabBarClicked, this, [this](int index) {
        // A click on the tab already selected still runs the page switch.
        if (index >= 0 && index == m_tabStrip->currentIndex())
            onTabChanged(index);
    });
}

void MainWindow::buildAlarm()
{
    m_alarm.box = makePictureBox(m_surface, QStringLiteral("Picture7"), {4950, 90, 585, 225});
    m_alarm.box->setFrameShape(QFrame::Box);
    m_alarm.label = makeLabel(m_alarm.box, QStringLiteral("Label17"), QStringLiteral("Alarm"),
                              {0, 0, 585, 225});
    m_alarm.label->setAlignment(Qt::AlignCenter);
    m_alarm.label->setCursor(Qt::PointingHandCursor);
    // The alarm indicator is only shown while an alarm sounds.
    m_alarm.box->hide();
}

void MainWindow::connectControls()
{
    QMenu* programMenu = m_menus.program.menu;
    connect(m_bottomBar->menuButton(), &QPushButton::clicked, this,
            [programMenu] { programMenu->popup(QCursor::pos()); });
    connect(m_bottomBar->logButton(), &QPushButton::clicked, this, &MainWindow::toggleLogBox);
    m_logPane->watchLogButton(m_bottomBar->logButton());
    connect(m_logPane, &LogPane::splitFlipRequested, this, &MainWindow::flipLogSplit);
    connect(m_menus.program.textFonts, &QAction::triggered, this, &MainWindow::applyTextFont);
}

void MainWindow::prepareLook()
{
    const SettingsPages& settings = *m_settingsPages;
    const AccountsPage& accounts = *m_accountsPage;
    const BottomBar& bottom = *m_bottomBar;
    m_look.setToolTipTargets({
        {bottom.checkMailButton(), 1},
        {bottom.seenButton(), 2},
        {accounts.addButton(), 3},
        {accounts.deleteButton(), 4},
        {bottom.deleteMailButton(), 5},
        {bottom.cancelButton(), 7},
        {logBox(), 8},
        {settings.apopSecretBox(), 9},
        {settings.defaultsButton(3), 10},
        {settings.defaultsButton(2), 10},
        {settings.defaultsButton(1), 10},
        {settings.runPasswordBox(), 11},
        {m_alarm.label, 12},
        {bottom.logButton(), 13},
    });
    m_look.setOwnToolTips({{accounts.signInButton(),
                            QStringLiteral("How The Selected Username Signs In: Method, Where The "
                                           "Password Comes From, OAuth2")}});
    m_look.setRecheckIndicator(bottom.recheckIndicator(), m_timers.recheck);
    const AccountEntryBoxes& entries = accounts.entryBoxes();
    m_look.setTextFontTargets(
        {accounts.accountListView(), mailListView(), settings.dateStyleChooser(),
         bottom.recheckIndicator(), settings.intervalBox(), settings.runPasswordBox(),
         settings.timeoutBox(), entries.displayName, entries.username, entries.password,
         entries.server, entries.port, logBox(), settings.apopSecretBox()});

    // The pages are opaque from the start; the first activation colours
    // them again by the rules.
    applyPageColours();
    m_look.setTextFont(
        chooseTextFont({QStringLiteral("MS Sans Serif"), 8, false},
                       {QFontDatabase::families(),
                        QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()}));
    applyTextFont();
}

QPushButton* MainWindow::checkMailButton() const
{
    return m_bottomBar->checkMailButton();
}

QPushButton* MainWindow::deleteMailButton() const
{
    return m_bottomBar->deleteMailButton();
}

QPlainTextEdit* MainWindow::logBox() const
{
    return m_logPane->logBox();
}

MailListModel* MainWindow::mailListModel() const
{
    return m_mailPage->model();
}

AccountListModel* MainWindow::accountListModel() const
{
    return m_accountsPage->model();
}

MailListView* MainWindow::mailListView() const
{
    return m_mailPage->mailListView();
}

QTreeView* MainWindow::accountListView() const
{
    return m_accountsPage->accountListView();
}

void MainWindow::setMailListModel(MailListModel* model)
{
    m_mailPage->setModel(model);
    applyLayout();
}

void MainWindow::setAccountListModel(AccountListModel* model)
{
    m_accountsPage->setModel(model);
    applyLayout();
}

void MainWindow::setMailColumnWidths(MailWidths twips)
{
    m_mailPage->setColumnWidths(twips);
}

void MainWindow::setAccountColumnWidths(AccountWidths twips)
{
    m_accountsPage->setColumnWidths(twips);
}

MainWindow::MailWidths MainWindow::mailColumnWidths() const
{
    return m_mailPage->columnWidths();
}

MainWindow::AccountWidths MainWindow::accountColumnWidths() const
{
    return m_accountsPage->columnWidths();
}

void MainWindow::showMailCheckBoxes(bool shown)
{
    m_mailPage->showCheckBoxes(shown);
}

void MainWindow::applyDesignFonts()
{
    // The design font of labels, check boxes and buttons: small and, where
    // the font has one, condensed.
    QFont design = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    design.setPointSizeF(8);
    design.setStretch(QFont::SemiCondensed);
    m_surface->setFont(design);
    m_logPane->statusBar()->setFont(design);

    // A caption too wide for its design width sets its whole page a little
    // smaller rather than being cut off: a page keeps one font size.
    QMap<QWidget*, QList<QWidget*>> captionedByPage;
    auto pageOf = [this](QWidget* control) {
        for (QWidget* up = control->parentWidget(); up && up != m_surface;
             up = up->parentWidget()) {
            if (qobject_cast<QGroupBox*>(up))
                return up;
        }
        return m_surface;
    };
    for (QCheckBox* box : descendantsOfType<QCheckBox>(m_surface))
        captionedByPage[pageOf(box)].append(box);
    for (QLabel* label : descendantsOfType<QLabel>(m_surface)) {
        if (!label->text().isEmpty())
            captionedByPage[pageOf(label)].append(label);
    }
    auto fits = [](QWidget* control) {
        auto* label = qobject_cast<QLabel*>(control);
        if (label && label->wordWrap())
            return label->heightForWidth(label->width()) <= label->height();
        return control->sizeHint().width() <= control->width();
    };
    for (const QList<QWidget*>& controls : std::as_const(captionedByPage)) {
        double size = design.pointSizeF();
        auto allFit = [&controls, &fits] {
            return std::all_of(controls.begin(), controls.end(), fits);
        };
        while (!allFit() && size > 6) {
            size -= 0.5;
            for (QWidget* control : controls) {
                QFont font = control->font();
                font.setPointSizeF(size);
                control->setFont(font);
            }
        }
    }
}

int MainWindow::currentTab() const
{
    return m_tabStrip->currentIndex();
}

void MainWindow::selectTab(int tab)
{
    if (tab < MailTab || tab > AccountsTab)
        return;
    if (m_tabStrip->currentIndex() == tab)
        onTabChanged(tab);
    else
        m_tabStrip->setCurrentIndex(tab);
}

void MainWindow::onTabChanged(int index)
{
    mailListView()->setVisible(index == MailTab);
    m_settingsPages->frame()->setVisible(index == SettingsTab);
    m_accountsPage->frame()->setVisible(index == AccountsTab);
    m_bottomBar->showTab(index == MailTab, m_status.runBusy, m_status.deleteEnabled);
}

int MainWindow::settingsPage() const
{
    return m_settingsPages->currentPage();
}

void MainWindow::showSettingsPage(int page)
{
    m_settingsPages->showPage(page);
}

void MainWindow::setRunBusy(bool busy)
{
    // The mail tab first, while the tab switch still sees the idle state, so
    // the page's buttons come back right after the run.
    if (busy)
        selectTab(MailTab);
    m_status.runBusy = busy;
    m_bottomBar->showRunBusy(busy, m_status.deleteEnabled);
    m_tabStrip->setEnabled(!busy);
}

void MainWindow::handleFirstActivation()
{
    if (m_status.becameActive)
        return;
    m_status.becameActive = true;
    applyPageColours();
    applyToolTips();
    emit firstActivated();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Just after the show, so the steps (an automatic check among them) do
    // not run inside it.
    if (!m_status.becameActive)
        QTimer::singleShot(0, this, &MainWindow::handleFirstActivation);
    if (m_outerFit.checksLeft > 0)
        QTimer::singleShot(OuterFitCheckMs, this, &MainWindow::fitOuterSize);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    switch (event->type()) {
    case QEvent::ActivationChange:
        if (isActiveWindow())
            handleFirstActivation();
        break;
    case QEvent::ApplicationPaletteChange:
    case QEvent::ThemeChange:
        // The system colours changed: decide the page colour again.
        m_look.decidePageColour();
        if (m_status.becameActive)
            applyPageColours();
        break;
    default:
        break;
    }
}

void MainWindow::applyPageColours()
{
    m_look.applyPageColours();
}

void MainWindow::applyToolTips()
{
    m_look.applyToolTips();
}

void MainWindow::applyTextFont()
{
    m_look.applyTextFont(m_status.becameActive, this);
}
