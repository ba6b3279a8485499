#include "ui/accounts_page.h"

#include "model/account_list_model.h"
#include "ui/mail_list_view.h"
#include "ui/window_controls.h"

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

AccountsPage::AccountsPage(QWidget* surface, QObject* modelOwner)
    : m_ownModel(new AccountListModel(modelOwner)), m_columnWidths(defaultAccountColumnWidths())
{
    m_frame = makeControl<QGroupBox>(surface, QStringLiteral("Frame3"), {135, 420, 5340, 3720});
    m_frame->setTitle(QStringLiteral("Usernames"));

    const struct
    {
        QLineEdit* AccountEntryBoxes::*box;
        const char* name;
        const char* label;
        const char* caption;
        int maxLength;
        double width;
    } entries[] = {
        {&AccountEntryBoxes::displayName, "Text11", "DisplayNameLabel", "Display Name", 64,
         EntryWidth},
        {&AccountEntryBoxes::username, "Text2", "UsernameLabel", "Username", 64, EntryWidth},
        {&AccountEntryBoxes::password, "Text3", "AccountPasswordLabel", "Password", 62, EntryWidth},
        {&AccountEntryBoxes::server, "Text4", "ServerNameLabel", "Server Name (pop3)", 256,
         EntryWidth},
        {&AccountEntryBoxes::port, "Text5", "PortLabel", "Port No.", 32767, 720},
    };
    double top = 240;
    for (const auto& entry : entries) {
        QLabel* label =
            makeLabel(m_frame, QString::fromLatin1(entry.label), QString::fromLatin1(entry.caption),
                      {EntryLeft, top, EntryWidth, LabelHeight});
        auto* box = makeControl<QLineEdit>(m_frame, QString::fromLatin1(entry.name),
                                           {EntryLeft, top + LabelHeight, entry.width, BoxHeight});
        box->setMaxLength(entry.maxLength);
        box->setAccessibleName(QString::fromLatin1(entry.caption));
        label->setBuddy(box);
        m_entries.*entry.box = box;
        top += RowPitch;
    }
    m_entries.password->setEchoMode(QLineEdit::Password);
    m_entries.port->setText(QStringLiteral("110"));

    m_addButton = makeButton(m_frame, QStringLiteral("Command3"), QStringLiteral("&Add"),
                             {EntryLeft, top + 60, 780, 330});
    m_deleteButton = makeButton(m_frame, QStringLiteral("Command4"), QStringLiteral("D&elete"),
                                {EntryLeft + 900, top + 60, 780, 330});

    // Beside the port box, under the user and server it is about.
    const double portBoxTop = top - RowPitch + LabelHeight;
    m_signInButton =
        makeButton(m_frame, QStringLiteral("signInButton"), QStringLiteral("Sign-&In..."),
                   {EntryLeft + 780, portBoxTop, EntryWidth - 780, BoxHeight});
    QWidget::setTabOrder(m_entries.port, m_signInButton);

    m_listView = makeControl<QTreeView>(m_frame, QStringLiteral("ListView2"),
                                        {1905, 240, 5340 - 2025, 3720 - 285});
    configureReportList(m_listView);
    m_listView->setAccessibleName(QStringLiteral("Usernames"));
    m_listView->setEditTriggers(QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::SelectedClicked);
}

void AccountsPage::setModel(AccountListModel* model)
{
    m_model = model ? model : m_ownModel;
    m_listView->setModel(m_model);
    setColumnWidths(m_columnWidths);
}

void AccountsPage::setColumnWidths(AccountListWidths twips)
{
    m_columnWidths = applyColumnWidths(m_listView, twips, defaultAccountColumnWidths());
}

AccountListWidths AccountsPage::columnWidths() const
{
    return readColumnWidths<AccountListWidths>(m_listView);
}
