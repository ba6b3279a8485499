#pragma once

#include <QObject>

class RunCoordinator;
class MainWindow;
class MailListModel;
class QMenu;
class QTreeView;
struct RunSettings;

// What the user does to the mail list: "Seen" marks every row seen,
// "Cancel" asks the running run to stop, the pop-up menu ticks or clears
// rows (all, or those of the selected row's user), and the delete setting
// switches the rows' check boxes on and off.
class MailListActions : public QObject
{
    Q_OBJECT
public:
    MailListActions(MainWindow& window, RunCoordinator& runs, RunSettings& settings,
                    QObject* parent = nullptr);

    // Command2: every row's image becomes "seen", in list order.
    void markAllSeen();
    // Command7.
    void cancelRun();
    // The pop-up menu opens only on a list with rows, with no run active and
    // the delete functions on. True when it opened.
    bool openMenu(const QPoint& globalPos);
    void checkAll(bool checked);
    void checkAllForUser(bool checked);
    // Check boxes on or off; the new/seen images stay, and turning them off
    // clears every row's tick.
    void switchCheckBoxes(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool listActionsAllowed() const;

    MainWindow& m_window;
    RunCoordinator& m_runs;
    RunSettings& m_settings;
    MailListModel& m_mails;
    QTreeView* m_view;
    QMenu* m_menu;
};
