#include "ui/mail_list_actions.h"

#include "model/list_rows.h"
#include "model/mail_list_model.h"
#include "runs/run_coordinator.h"
#include "storage/run_settings.h"
#include "ui/bottom_bar.h"
#include "ui/mail_list_view.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

MailListActions::MailListActions(MainWindow& window, RunCoordinator& runs, RunSettings& settings,
                                 QObject* parent)
    : QObject(parent), m_window(window), m_runs(runs), m_settings(settings),
      m_mails(*window.mailListModel()), m_view(window.mailListView()),
      m_menu(window.menus().mailList.menu)
{
    const MailListMenu& menu = window.menus().mailList;
    connect(window.bottomBar().seenButton(), &QPushButton::clicked, this,
            &MailListActions::markAllSeen);
    connect(window.bottomBar().cancelButton(), &QPushButton::clicked, this,
            &MailListActions::cancelRun);
    connect(menu.checkAll, &QAction::triggered, this, [this] { checkAll(true); });
    connect(menu.unCheckAll, &QAction::triggered, this, [this] { checkAll(false); });
    connect(menu.checkAllForUser, &QAction::triggered, this, [this] { checkAllForUser(true); });
    connect(menu.unCheckAllForUser, &QAction::triggered, this, [this] { checkAllForUser(false); });
    m_view->viewport()->installEventFilter(this);
}

void MailListActions::markAllSeen()
{
    for (int row = 0; row < m_mails.itemCount(); ++row)
        m_mails.setImage(row, MailImage::Seen);
}

void MailListActions::cancelRun()
{
    m_runs.requestCancel();
}

bool MailListActions::listActionsAllowed() const
{
    return m_mails.itemCount() > 0 && m_settings.deleteEnabled;
}

bool MailListActions::openMenu(const QPoint& globalPos)
{
    if (!listActionsAllowed() || m_runs.isRunActive())
        return false;
    m_menu->popup(globalPos);
    return true;
}

void MailListActions::checkAll(bool checked)
{
    if (!listActionsAllowed())
        return;
    for (int n = 1; n <= m_mails.itemCount(); ++n) {
        if (checked)
            checkRow(m_mails, n);
        else
            uncheckRow(m_mails, n);
    }
}

void MailListActions::checkAllForUser(bool checked)
{
    if (!listActionsAllowed())
        return;
    const int selected = m_view->currentIndex().row();
    if (selected < 0 || selected >= m_mails.itemCount())
        return;
    // A user is the triple of user name, server and port, compared exactly.
    const MailItem chosen = m_mails.item(selected);
    for (int n = 1; n <= m_mails.itemCount(); ++n) {
        const MailItem& row = m_mails.item(n - 1);
        if (row.userName != chosen.userName || row.server != chosen.server ||
            row.port != chosen.port)
            continue;
        if (checked)
            checkRow(m_mails, n);
        else
            uncheckRow(m_mails, n);
    }
}

void MailListActions::switchCheckBoxes(bool shown)
{
    // The images live in the model and survive the switch of picture set.
    if (!shown) {
        for (int n = 1; n <= m_mails.itemCount(); ++n)
            m_mails.setChecked(n - 1, false);
    }
    m_window.showMailCheckBoxes(shown);
}

bool MailListActions::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* release = static_cast<QMouseEvent*>(event);
        if (release->button() == Qt::RightButton) {
            openMenu(release->globalPosition().toPoint());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
