#include "ui/about_box.h"

#include "ui/card_pictures.h"
#include "ui/system_colours.h"
#include "ui/window_controls.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace {
// Client area of the box, in twips.
constexpr int ClientWidth = 4845;
constexpr int ClientHeight = 3060;
} // namespace

AboutDialog::AboutDialog(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("About"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twipsToPixels(ClientWidth), twipsToPixels(ClientHeight));
    QPalette background = palette();
    background.setColor(QPalette::Window, SystemColour::toColour(SystemColour::WindowBackground));
    setPalette(background);
    setAutoFillBackground(true);

    auto* image1 = makeControl<QLabel>(this, QStringLiteral("Image1"), {240, 240, 480, 480});
    image1->setPixmap(CardPictures::windowIcon().pixmap(32, 32));

    auto* label1 = makeLabel(this, QStringLiteral("Label1"), Description, {960, 240, 3645, 1335});
    label1->setWordWrap(true);
    label1->setAccessibleName(Description);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSizeF(9);
    label1->setFont(arial);

    auto* image2 = makeControl<QLabel>(this, QStringLiteral("Image2"), {480, 1920, 240, 240});
    image2->setPixmap(CardPictures::mailPicture(CardPictures::CardSet, 2));

    m_versionBox = makePictureBox(this, QStringLiteral("Picture1"), {1440, 1845, 1965, 390});
    m_versionBox->setFocusPolicy(Qt::StrongFocus);
    m_versionBox->setAccessibleName(QStringLiteral("Version"));
    m_versionLabel =
        makeLabel(m_versionBox, QStringLiteral("Label5"), programVersionText(), {0, 0, 1965, 390});
    m_versionLabel->setAlignment(Qt::AlignCenter);

    m_focusCatcher = makeControl<QLineEdit>(this, QStringLiteral("Text2"), {4560, 2760, 150, 150});
    m_focusCatcher->setFrame(false);
}

QString AboutDialog::versionText(int major, int minor, int revision)
{
    return QStringLiteral("Vs.%1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString AboutDialog::programVersionText()
{
    return versionText(QUORVAMEL_VERSION_MAJOR, QUORVAMEL_VERSION_MINOR, QUORVAMEL_VERSION_PATCH);
}

void AboutDialog::keyPressEvent(QKeyEvent* event)
{
    // No buttons of its own: Escape and Enter close it as a dialog's would.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void AboutDialog::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        focusFirstControl();
}

void AboutDialog::focusFirstControl()
{
    if (m_versionBox->isVisible())
        m_versionBox->setFocus(Qt::ActiveWindowFocusReason);
    else
        m_focusCatcher->setFocus(Qt::ActiveWindowFocusReason);
}

AboutBox::AboutBox(QWidget* owner, QObject* parent) : QObject(parent), m_owner(owner) {}

AboutBox::~AboutBox()
{
    unload();
}

void AboutBox::show()
{
    if (!m_dialog)
        m_dialog = new AboutDialog(m_owner);
    m_dialog->show();
    m_dialog->raise();
    // Focus may be refused (another application is in front): not reported.
    m_dialog->activateWindow();
}

void AboutBox::unload()
{
    if (m_dialog)
        delete m_dialog.data();
}
