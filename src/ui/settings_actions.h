#pragma once

#include <QObject>
#include <functional>

class MainWindow;
class MailListModel;
class Prompter;
class QCheckBox;
class QComboBox;
class SettingsPages;
enum class OptionBox;
struct RunSettings;

// What the option controls of the three run-settings pages do when they
// change: each box sets its setting (and, for some, more at once), the date
// style chooser sets the style of rows built from then on, and the three
// "Defaults" buttons restore one page each after a question. Nothing here
// writes the settings file; the final close does.
class SettingsActions : public QObject
{
    Q_OBJECT

public:
    // The form is pointed at the given mail list if it shows another.
    SettingsActions(MainWindow& form, RunSettings& settings, MailListModel& mailList,
                    Prompter& prompter, QObject* parent = nullptr);

    // The re-check clock's part of the P. 1 defaults (the running timer,
    // the indicator and its tip), called after the page's values are back
    // at their defaults. The clock is built elsewhere and hooks in here.
    void setPage1RecheckHook(std::function<void()> hook) { m_page1RecheckHook = std::move(hook); }

    // Shows the entry of the current DateStyle in the chooser (at the first
    // activation, and when a run resets a style below 1).
    void showDateStyle();

    // The "Defaults" buttons Command14, Command13 and Command12.
    void restorePage1();
    void restorePage2();
    void restorePage3();

    // A selection in the date style chooser (index from 0, -1 for none).
    void dateStyleChosen(int index);

private:
    void connectBox(OptionBox option, std::function<void(bool)> action);
    void deleteFunctionsChanged(bool checked);
    void trayOnCloseChanged(bool checked);
    bool confirmDefaults(const QString& question);
    void clearBox(OptionBox option);

    MainWindow& m_form;
    RunSettings& m_settings;
    MailListModel& m_mailList;
    Prompter& m_prompter;
    SettingsPages& m_pages;
    QComboBox* m_dateStyleChooser;
    std::function<void()> m_page1RecheckHook;
};
