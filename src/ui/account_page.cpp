// The "Usernames" frame: entry boxes for a new account, "Add" and "Delete",
// and the account list.
#include "ui/form10.h"
#include "ui/form10_controls.h"
#include "ui/mail_list_view.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QTreeView>

namespace {

// Entry column at the left of the frame, the list to its right.
constexpr double EntryLeft = 120;
constexpr double EntryWidth = 1680;
constexpr double LabelHeight = 225;
constexpr double BoxHeight = 300;
constexpr double RowPitch = 585; // label + box + gap

} // namespace

void Form10::buildAccountPage()
{
    m_frame3 = makeControl<QGroupBox>(m_surface, QStringLiteral("Frame3"), {135, 420, 5340, 3720});
    m_frame3->setTitle(QStringLiteral("Usernames"));

    const struct
    {
        const char* box;
        const char* label;
        const char* caption;
        int maxLength;
        double width;
    } entries[] = {
        {"Text11", "DisplayNameLabel", "Display Name", 64, EntryWidth},
        {"Text2", "UsernameLabel", "Username", 64, EntryWidth},
        {"Text3", "AccountPasswordLabel", "Password", 62, EntryWidth},
        {"Text4", "ServerNameLabel", "Server Name (pop3)", 256, EntryWidth},
        {"Text5", "PortLabel", "Port No.", 32767, 720},
    };
    double top = 240;
    for (const auto& entry : entries) {
        makeLabel(m_frame3, QString::fromLatin1(entry.label), QString::fromLatin1(entry.caption),
                  {EntryLeft, top, EntryWidth, LabelHeight});
        auto* box = makeControl<QLineEdit>(m_frame3, QString::fromLatin1(entry.box),
                                           {EntryLeft, top + LabelHeight, entry.width, BoxHeight});
        box->setMaxLength(entry.maxLength);
        top += RowPitch;
    }
    m_frame3->findChild<QLineEdit*>(QStringLiteral("Text3"))->setEchoMode(QLineEdit::Password);
    m_frame3->findChild<QLineEdit*>(QStringLiteral("Text5"))->setText(QStringLiteral("110"));

    makeButton(m_frame3, QStringLiteral("Command3"), QStringLiteral("Add"),
               {EntryLeft, top + 60, 780, 330});
    makeButton(m_frame3, QStringLiteral("Command4"), QStringLiteral("Delete"),
               {EntryLeft + 900, top + 60, 780, 330});

    m_listView2 = makeControl<QTreeView>(m_frame3, QStringLiteral("ListView2"),
                                         {1905, 240, 5340 - 2025, 3720 - 285});
    configureReportList(m_listView2);
    m_listView2->setEditTriggers(QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::SelectedClicked);
}
