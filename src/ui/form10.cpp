#include "ui/form10.h"

#include "model/account_list_model.h"
#include "model/mail_list_model.h"
#include "ui/card_pictures.h"
#include "ui/form10_controls.h"
#include "ui/mail_list_view.h"
#include "ui/system_colours.h"
#include "ui/tab_strip.h"

#include <QCursor>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>

namespace {

// Design client area of the window, in twips.
constexpr int DesignClientWidth = 5640;
constexpr int DesignClientHeight = 4995;
// The bottom row sits at client height - 690 and is 330 high.
constexpr int BottomRowTop = DesignClientHeight - 690;
constexpr int BottomRowHeight = 330;
constexpr int StatusBarHeight = 300;

} // namespace

Form10::Form10(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QStringLiteral("Quorvamel email"));
    setWindowIcon(CardPictures::windowIcon());
    m_pageColour = SystemColour::decidePageColour(2, true);

    m_ownMailModel = new MailListModel(this);
    m_mailProxy = new BatchedRowsProxy(this);
    m_ownAccountModel = new AccountListModel(this);

    buildWindowControls();
    buildSettingsPages();
    buildAccountPage();
    buildBottomRow();
    buildTimers();
    buildMenus();
    applyDesignFonts();

    setMailListModel(nullptr);
    setAccountListModel(nullptr);
    m_text1->raise();
    m_picture7->raise();
    // The pages are opaque from the start; the first activation colours
    // them again by the rules.
    ApplyPageColours();

    m_textFont =
        chooseStartupFont({QStringLiteral("MS Sans Serif"), 8, 0}, QFontDatabase::families(),
                          QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    ApplyTextFont();

    resize(twipsToPixels(DesignClientWidth), twipsToPixels(DesignClientHeight));
    selectTab(MailTab);
}

Form10::~Form10() = default;

void Form10::buildWindowControls()
{
    m_surface = new QWidget(this);
    m_surface->setObjectName(QStringLiteral("Form10Surface"));
    setCentralWidget(m_surface);

    m_tabStrip =
        makeControl<TabStrip>(m_surface, QStringLiteral("TabStrip1"), {45, 45, 5535, 4185});
    m_tabStrip->addTab(QStringLiteral("Mail Window"));
    m_tabStrip->addTab(QStringLiteral("Run Settings"));
    m_tabStrip->addTab(QStringLiteral("Configure Usernames"));
    connect(m_tabStrip, &QTabBar::currentChanged, this, &Form10::onTabChanged);
    connect(m_tabStrip, &QTabBar::tabBarClicked, this, [this](int index) {
        // A click on the tab already selected still runs the page switch.
        if (index >= 0 && index == m_tabStrip->currentIndex())
            onTabChanged(index);
    });

    m_listView1 =
        makeControl<MailListView>(m_surface, QStringLiteral("ListView1"), {150, 435, 5325, 3690});

    m_text1 =
        makeControl<QPlainTextEdit>(m_surface, QStringLiteral("Text1"), {135, 435, 5340, 3690});
    m_text1->setReadOnly(true);
    m_text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text1->setUndoRedoEnabled(false);
    m_text1->hide();

    m_picture7 = makePictureBox(m_surface, QStringLiteral("Picture7"), {4950, 90, 585, 225});
    m_picture7->setFrameShape(QFrame::Box);
    m_label17 =
        makeLabel(m_picture7, QStringLiteral("Label17"), QStringLiteral("Alarm"), {0, 0, 585, 225});
    m_label17->setAlignment(Qt::AlignCenter);
    m_label17->setCursor(Qt::PointingHandCursor);
    // The alarm indicator is only shown while an alarm sounds.
    m_picture7->hide();

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setFixedHeight(twipsToPixels(StatusBarHeight));
    m_statusLabel = new QLabel(m_statusBar);
    m_statusLabel->setObjectName(QStringLiteral("StatusBar1Text"));
    m_statusBar->addWidget(m_statusLabel, 1);
    setStatusBar(m_statusBar);
    m_statusBar->installEventFilter(this);
    m_statusLabel->installEventFilter(this);
}

void Form10::buildBottomRow()
{
    auto bottom = [](double left, double width) {
        return TwipsRect{left, BottomRowTop, width, BottomRowHeight};
    };
    m_text10 = makeControl<QLineEdit>(m_surface, QStringLiteral("Text10"), bottom(210, 570));
    m_text10->setReadOnly(true);
    m_text10->setAlignment(Qt::AlignCenter);
    m_text10->setFocusPolicy(Qt::NoFocus);
    QPalette indicator = m_text10->palette();
    indicator.setColor(QPalette::Base, SystemColour::toColour(SystemColour::ButtonFace));
    m_text10->setPalette(indicator);

    auto* command1 = makeButton(m_surface, QStringLiteral("Command1"), QStringLiteral("Check Mail"),
                                bottom(855, 1035));
    auto* command2 = makeButton(m_surface, QStringLiteral("Command2"), QStringLiteral("Seen"),
                                bottom(1995, 600));
    auto* command7 = makeButton(m_surface, QStringLiteral("Command7"), QStringLiteral("Cancel"),
                                bottom(1935, 720));
    command7->hide();
    auto* command5 = makeButton(m_surface, QStringLiteral("Command5"),
                                QStringLiteral("Delete Mail"), bottom(2700, 1035));
    command5->setEnabled(false);
    auto* command8 = makeButton(m_surface, QStringLiteral("Command8"), QStringLiteral("Menu"),
                                bottom(3810, 645));
    auto* command15 = makeButton(m_surface, QStringLiteral("Command15"), QStringLiteral("Log"),
                                 bottom(4530, 525));
    m_bottomRow = {m_text10, command1, command2, command5, command7, command8, command15};

    connect(command8, &QPushButton::clicked, this, [this] { m_menuP3Pop4->popup(QCursor::pos()); });
    connect(command15, &QPushButton::clicked, this, &Form10::toggleLogBox);
    command15->installEventFilter(this);
}

void Form10::buildTimers()
{
    const struct
    {
        const char* name;
        int interval;
    } timers[] = {
        {"Timer1", 60000}, {"Timer2", 20000}, {"Timer3", 600}, {"Timer4", 1000}, {"Timer5", 5000}};
    for (const auto& entry : timers) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(entry.name));
        timer->setInterval(entry.interval);
        if (!m_timer1)
            m_timer1 = timer;
    }
}

void Form10::buildMenus()
{
    auto menu = [this](const char* name) {
        auto* created = new QMenu(this);
        created->setObjectName(QString::fromLatin1(name));
        return created;
    };
    auto item = [this](QMenu* into, const char* name, const QString& text) {
        QAction* action = into->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    QMenu* pop1 = menu("mnuP3Pop1");
    item(pop1, "mnuCheckAll", QStringLiteral("Check All"));
    item(pop1, "mnuUnCheckAll", QStringLiteral("Un-Check All"));
    pop1->addSeparator();
    item(pop1, "mnuCheckAllUser", QStringLiteral("Check All For User"));
    item(pop1, "mnuUnCheckAllUser", QStringLiteral("Un-Check All For User"));

    QMenu* pop2 = menu("mnuP3Pop2");
    item(pop2, "mnuMoveUp", QStringLiteral("Move &Up"));
    item(pop2, "mnuMovedown", QStringLiteral("Move &Down"));
    item(pop2, "mnuToTop", QStringLiteral("Move To &Top"));
    item(pop2, "mnuToBot", QStringLiteral("Move To &Bottom"));
    pop2->addSeparator()->setObjectName(QStringLiteral("mnuSep3"));
    item(pop2, "mnuDelete", QStringLiteral("Delete &Selected User (Disregards CheckBox)"));

    QMenu* tray = menu("mnuTrayIconPop1");
    item(tray, "mnuTrayIcoShow", QStringLiteral("Open"));
    item(tray, "mnuTrayIcoExit", QStringLiteral("Close"));
    item(tray, "mnuTrayHideMenu", QStringLiteral("Hide Menu"));

    m_menuP3Pop4 = menu("mnuP3Pop4");
    item(m_menuP3Pop4, "mnuHelp", QStringLiteral("&Help"));
    item(m_menuP3Pop4, "mnuAbout", QStringLiteral("&About"));
    QAction* fonts = item(m_menuP3Pop4, "mnuFonts", QStringLiteral("&Text Fonts"));
    connect(fonts, &QAction::triggered, this, &Form10::ApplyTextFont);
}

void Form10::setMailListModel(MailListModel* model)
{
    m_mailModel = model ? model : m_ownMailModel;
    // Rows arriving one per message are shown in batches: a view that lays
    // itself out again for every single row stalls the window.
    m_mailProxy->setSourceModel(m_mailModel);
    m_listView1->setModel(m_mailProxy);
    setMailColumnWidths(m_mailColumnWidths);
    applyLayout();
}

void Form10::setAccountListModel(AccountListModel* model)
{
    m_accountModel = model ? model : m_ownAccountModel;
    m_listView2->setModel(m_accountModel);
    setAccountColumnWidths(m_accountColumnWidths);
    applyLayout();
}

namespace {

template <std::size_t N>
void applyColumnWidths(QTreeView* view, std::array<float, N>& twips,
                       const std::array<float, N>& defaults)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (twips[i] < 0)
            twips[i] = defaults[i];
        view->setColumnWidth(int(i), twipsToPixels(twips[i]));
    }
}

template <std::size_t N> std::array<float, N> readColumnWidths(const QTreeView* view)
{
    std::array<float, N> twips{};
    for (std::size_t i = 0; i < N; ++i)
        twips[i] = float(pixelsToTwips(view->columnWidth(int(i))));
    return twips;
}

} // namespace

void Form10::setMailColumnWidths(MailWidths twips)
{
    applyColumnWidths(m_listView1, twips, DefaultMailColumnWidths);
    m_mailColumnWidths = twips;
}

void Form10::setAccountColumnWidths(AccountWidths twips)
{
    applyColumnWidths(m_listView2, twips, DefaultAccountColumnWidths);
    m_accountColumnWidths = twips;
}

Form10::MailWidths Form10::mailColumnWidths() const
{
    return readColumnWidths<6>(m_listView1);
}

Form10::AccountWidths Form10::accountColumnWidths() const
{
    return readColumnWidths<4>(m_listView2);
}

void Form10::applyDesignFonts()
{
    // The design font of labels, check boxes and buttons: small and, where
    // the font has one, condensed; a caption still too wide for its design
    // width is set a little smaller rather than cut off.
    QFont design = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    design.setPointSizeF(8);
    design.setStretch(QFont::SemiCondensed);
    m_surface->setFont(design);
    m_statusBar->setFont(design);

    QList<QWidget*> captioned;
    for (QCheckBox* box : m_surface->findChildren<QCheckBox*>())
        captioned.append(box);
    for (QLabel* label : m_surface->findChildren<QLabel*>()) {
        if (!label->wordWrap())
            captioned.append(label);
    }
    for (QWidget* control : captioned) {
        QFont font = control->font();
        while (control->sizeHint().width() > control->width() && font.pointSizeF() > 6) {
            font.setPointSizeF(font.pointSizeF() - 0.5);
            control->setFont(font);
        }
    }
}

void Form10::showMailCheckBoxes(bool shown)
{
    m_mailModel->setCheckBoxesShown(shown);
    m_listView1->setPictureSet(shown ? CardPictures::BarSet : CardPictures::CardSet);
}

int Form10::currentTab() const
{
    return m_tabStrip->currentIndex();
}

void Form10::selectTab(int tab)
{
    if (tab < MailTab || tab > AccountsTab)
        return;
    if (m_tabStrip->currentIndex() == tab)
        onTabChanged(tab);
    else
        m_tabStrip->setCurrentIndex(tab);
}

void Form10::onTabChanged(int index)
{
    m_listView1->setVisible(index == MailTab);
    m_frame1->setVisible(index == SettingsTab);
    m_frame3->setVisible(index == AccountsTab);
    auto* command2 = findChild<QPushButton*>(QStringLiteral("Command2"));
    auto* command5 = findChild<QPushButton*>(QStringLiteral("Command5"));
    if (index == MailTab) {
        if (!m_runBusy) {
            command2->setEnabled(true);
            if (m_deleteEnabled == 1)
                command5->setEnabled(true);
        }
    } else {
        command2->setEnabled(false);
        command5->setEnabled(false);
    }
}

void Form10::setRunBusy(bool busy)
{
    // The mail tab first, while the tab switch still sees the idle state, so
    // the page's buttons come back right after the run.
    if (busy)
        selectTab(MailTab);
    m_runBusy = busy;
    auto* command1 = findChild<QPushButton*>(QStringLiteral("Command1"));
    auto* command2 = findChild<QPushButton*>(QStringLiteral("Command2"));
    auto* command5 = findChild<QPushButton*>(QStringLiteral("Command5"));
    auto* command7 = findChild<QPushButton*>(QStringLiteral("Command7"));
    command1->setEnabled(!busy);
    command2->setVisible(!busy);
    command7->setVisible(busy);
    m_tabStrip->setEnabled(!busy);
    command5->setEnabled(!busy && m_deleteEnabled == 1);
}

void Form10::handleFirstActivation()
{
    if (m_becameActive)
        return;
    m_becameActive = true;
    ApplyPageColours();
    ApplyToolTips();
    emit firstActivated();
}

void Form10::changeEvent(QEvent* event)
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
        m_pageColour = SystemColour::decidePageColour(2, true);
        if (m_becameActive)
            ApplyPageColours();
        break;
    default:
        break;
    }
}

bool Form10::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::RightButton && handleRightPress(watched))
            return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* release = static_cast<QMouseEvent*>(event);
        if (release->button() == Qt::LeftButton && handleLinkClick(watched))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
