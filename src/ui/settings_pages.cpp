#include "ui/settings_pages.h"

#include "ui/card_pictures.h"
#include "ui/eliding_combo_box.h"
#include "ui/widget_walk.h"
#include "ui/window_controls.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>

namespace {

constexpr double PageWidth = 4965;
constexpr double PageHeight = 3330;
constexpr double Frame1Width = 5340;
constexpr double Frame1Height = 3720;

QLineEdit* makeValueBox(QWidget* page, const QString& name, TwipsRect rect, const QString& text)
{
    auto* box = makeControl<QLineEdit>(page, name, rect);
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignCenter);
    box->setText(text);
    return box;
}

} // namespace

SettingsPages::SettingsPages(QWidget* surface) : QObject(surface)
{
    m_frame = makeControl<QGroupBox>(surface, QStringLiteral("Frame1"),
                                     {135, 420, Frame1Width, Frame1Height});
    m_frame->setTitle(QStringLiteral("Run Settings"));
    buildFirstPage();
    buildSecondPage();
    buildThirdPage();
    for (QGroupBox* page : m_pages)
        setReadingTabOrder(page);
    showPage(1);
}

QCheckBox* SettingsPages::buildOption(QWidget* page, OptionBox box, const QString& text,
                                      double left, double top, double width, double height)
{
    const auto index = std::size_t(box);
    m_options[index] = makeCheckBox(page, QStringLiteral("Check%1").arg(index + 1), text,
                                    {left, top, width, height});
    return m_options[index];
}

void SettingsPages::buildFirstPage()
{
    QGroupBox* p1 = buildPage(QStringLiteral("Frame2"), 1, QStringLiteral("General Run Settings"));
    m_pages[0] = p1;
    buildOption(p1, OptionBox::CheckSelectedOnly,
                QStringLiteral("Check Mail Only For Usernames With Checked Boxes"), 585, 555, 4335,
                345);
    buildOption(p1, OptionBox::AutoCheckOnOpen,
                QStringLiteral("Automatically Check Mail  When Window Opens"), 585, 900, 4035, 345);
    buildOption(p1, OptionBox::PlaySound,
                QStringLiteral("Play Sound  When New Mail Is Found On Server"), 585, 1245, 4185,
                345);
    buildOption(p1, OptionBox::ContinuousAlarm, QStringLiteral("Sound As Continuous Alarm"), 2010,
                1515, 2565, 330);
    buildSpinBox(p1, QStringLiteral("IntervalSpinBox"), 165, 1770, 0, QStringLiteral("Command10"),
                 QStringLiteral("Command11"));
    m_intervalBox =
        makeValueBox(p1, QStringLiteral("Text6"), {765, 1830, 705, 330}, QStringLiteral("30"));
    makeLabel(p1, QStringLiteral("IntervalLabel"),
              QStringLiteral("How Often To Re-Check For Mail  (Minutes)"), {1530, 1890, 3330, 270})
        ->setBuddy(m_intervalBox);
    m_intervalBox->setAccessibleName(QStringLiteral("How Often To Re-Check For Mail (Minutes)"));
    // Both captions of this row whole at the page's font: the row starts
    // further left than the design had it.
    buildOption(p1, OptionBox::IdleIfOffline, QStringLiteral("Idle If Offline"), 165, 2190, 1380,
                330);
    buildOption(p1, OptionBox::AutoStartTimer,
                QStringLiteral("Auto-Start Timer When Mail Is Checked"), 1560, 2190, 3330, 330);
    buildOption(p1, OptionBox::DeleteEnabled,
                QStringLiteral("Enable Functions To Delete Messages On POP3 Server"), 285, 2535,
                4560, 345);
}

void SettingsPages::buildSecondPage()
{
    QGroupBox* p2 = buildPage(QStringLiteral("Frame4"), 2, QStringLiteral("General Run Settings"));
    m_pages[1] = p2;
    buildOption(p2, OptionBox::TrayOnClose,
                QStringLiteral("Close With Icon On The Tray (Notification Area)"), 885, 600, 3945,
                345);
    QLabel* dateLabel = makeLabel(p2, QStringLiteral("DateTimeLabel"), QStringLiteral("Date-Time"),
                                  {240, 1155, 1020, 270});
    m_dateStyleChooser =
        makeControl<ElidingComboBox>(p2, QStringLiteral("ImageCombo1"), {1080, 1080, 3600, 330});
    dateLabel->setBuddy(m_dateStyleChooser);
    m_dateStyleChooser->setAccessibleName(QStringLiteral("Date-Time"));
    const QIcon entryPicture(CardPictures::dateStylePicture());
    for (const char* style :
         {"As Sent - No Format (Source Time)", "Reg.Setting-Short Date Time (Local Time)",
          "Reg.Setting-Long Date Time (Local Time)", "ex. Mon Jan 4 2003 9:15 AM (Local Time)",
          "ex. Jan 4 2003 9:15 AM (Local Time)"})
        m_dateStyleChooser->addItem(entryPicture, QString::fromLatin1(style));
    QLabel* passwordLabel = makeLabel(p2, QStringLiteral("PasswordLabel"),
                                      QStringLiteral("Quorvamel Password"), {210, 1695, 1695, 210});
    m_runPasswordBox = makeControl<QLineEdit>(p2, QStringLiteral("Text7"), {1830, 1635, 2835, 300});
    passwordLabel->setBuddy(m_runPasswordBox);
    m_runPasswordBox->setAccessibleName(QStringLiteral("Quorvamel Password"));
    m_runPasswordBox->setMaxLength(62);
    m_runPasswordBox->setEchoMode(QLineEdit::Password);
    buildSpinBox(p2, QStringLiteral("TimeoutSpinBox"), 345, 2085, 2, QStringLiteral("Command6"),
                 QStringLiteral("Command9"));
    m_timeoutBox =
        makeValueBox(p2, QStringLiteral("Text9"), {930, 2145, 570, 330}, QStringLiteral("180"));
    makeLabel(p2, QStringLiteral("TimeoutLabel"),
              QStringLiteral("Server Connection Time-Out  (Seconds)"), {1560, 2205, 3270, 270})
        ->setBuddy(m_timeoutBox);
    m_timeoutBox->setAccessibleName(QStringLiteral("Server Connection Time-Out (Seconds)"));
    buildOption(p2, OptionBox::ToolTipsOff, QStringLiteral("Disable Tool Tips"), 2190, 2535, 1980,
                345);
}

void SettingsPages::buildThirdPage()
{
    QGroupBox* p3 = buildPage(QStringLiteral("Frame5"), 3, QStringLiteral("Advanced"));
    m_pages[2] = p3;
    buildOption(p3, OptionBox::UseRetr,
                QStringLiteral("Use \"RETR\" Instead Of Default \"TOP\" (See Help File)"), 255, 480,
                4515, 345);
    buildOption(p3, OptionBox::UseApop,
                QStringLiteral("Use \"APOP\" Instead Of Default \"USER\\PASS\" (See Help)"), 255,
                840, 4590, 345);
    makeLabel(p3, QStringLiteral("SecretLabel"),
              QStringLiteral("APOP Shared Secret (max. 248 bytes)"), {870, 1170, 3270, 225});
    m_apopSecretBox =
        makeControl<QPlainTextEdit>(p3, QStringLiteral("Text8"), {360, 1395, 4230, 1080});
    m_apopSecretBox->setAccessibleName(QStringLiteral("APOP Shared Secret"));
    m_apopSecretBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_apopSecretBox->setTabChangesFocus(true);
    QLabel* note = makeLabel(p3, QStringLiteral("NoteLabel"),
                             QStringLiteral("Note: APOP only works on custom servers, and the "
                                            "Shared Secret would be determined by the email "
                                            "service provider."),
                             {240, 2490, 4515, 495});
    note->setWordWrap(true);
}

QGroupBox* SettingsPages::buildPage(const QString& name, int page, const QString& heading)
{
    const TwipsRect centred{(Frame1Width - PageWidth) / 2, (Frame1Height - PageHeight) / 2,
                            PageWidth, PageHeight};
    auto* frame = makeControl<QGroupBox>(m_frame, name, centred);
    frame->setAccessibleName(QStringLiteral("P. %1").arg(page));
    QLabel* title = makeLabel(frame, QStringLiteral("Page%1Heading").arg(page), heading,
                              {1320, 210, 2265, 270});
    title->setAlignment(Qt::AlignCenter);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    buildPageFooter(frame, page);
    return frame;
}

void SettingsPages::buildPageFooter(QGroupBox* page, int pageNumber)
{
    static const char* const defaultsButtons[] = {"Command14", "Command13", "Command12"};
    QFrame* box = makePictureBox(page, QStringLiteral("Page%1DefaultsBox").arg(pageNumber),
                                 {375, 2970, 1080, 300});
    m_defaultsButtons[std::size_t(pageNumber - 1)] =
        makeButton(box, QString::fromLatin1(defaultsButtons[pageNumber - 1]),
                   QStringLiteral("De&faults"), {45, 15, 975, 270});
    // Between the "<" and ">" links, overlapping neither.
    QLabel* more = makeLabel(page, QStringLiteral("Page%1MoreLabel").arg(pageNumber),
                             QStringLiteral("(more settings)"), {1860, 3030, 1290, 240});
    more->setAlignment(Qt::AlignCenter);

    auto link = [&](const char* name, const char* caption, double left, int target) {
        QLabel* label = makeLabel(page, QString::fromLatin1(name), QString::fromLatin1(caption),
                                  {left, 3030, 210, 240});
        label->setAlignment(Qt::AlignCenter);
        label->setCursor(Qt::PointingHandCursor);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        label->setProperty("quorvamelTargetPage", target);
        label->setAccessibleName(target < pageNumber ? QStringLiteral("Previous Page")
                                                     : QStringLiteral("Next Page"));
        label->installEventFilter(this);
    };
    if (pageNumber == 1)
        link("Label8", ">", 3165, 2);
    if (pageNumber == 2) {
        link("Label10", "<", 1635, 1);
        link("Label11", ">", 3165, 3);
    }
    if (pageNumber == 3)
        link("Label13", "<", 1635, 2);
    makeLabel(page, QStringLiteral("Page%1NumberLabel").arg(pageNumber),
              QStringLiteral("P. %1").arg(pageNumber), {4350, 3045, 435, 210});
}

void SettingsPages::buildSpinBox(QWidget* page, const QString& name, int left, int top,
                                 int firstButton, const QString& downName, const QString& upName)
{
    QFrame* box = makePictureBox(page, name, {double(left), double(top), 570, 435});
    m_spinButtons[std::size_t(firstButton)] =
        makeButton(box, downName, QStringLiteral("<"), {60, 75, 225, 300});
    m_spinButtons[std::size_t(firstButton) + 1] =
        makeButton(box, upName, QStringLiteral(">"), {285, 75, 225, 300});
    m_spinButtons[std::size_t(firstButton)]->setAccessibleName(QStringLiteral("Decrease"));
    m_spinButtons[std::size_t(firstButton) + 1]->setAccessibleName(QStringLiteral("Increase"));
}

void SettingsPages::showPage(int page)
{
    if (page < 1 || page > 3)
        return;
    m_currentPage = page;
    for (int i = 0; i < 3; ++i)
        m_pages[std::size_t(i)]->setVisible(i == page - 1);
}

void SettingsPages::centrePages()
{
    const QPoint topLeft(
        twipsToPixels(pixelsToTwips(m_frame->width() - m_pages[0]->width()) / 2),
        twipsToPixels(pixelsToTwips(m_frame->height() - m_pages[0]->height()) / 2));
    for (QGroupBox* page : m_pages)
        page->move(topLeft);
}

bool SettingsPages::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const QVariant target = watched->property("quorvamelTargetPage");
        if (target.isValid()) {
            showPage(target.toInt());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
