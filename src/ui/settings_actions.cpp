#include "ui/settings_actions.h"

#include "model/list_rows.h"
#include "model/mail_list_model.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "storage/run_settings.h"
#include "ui/bottom_bar.h"
#include "ui/mainwindow.h"
#include "ui/settings_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVector>

namespace {

const QString defaultsQuestion =
    QStringLiteral("Do You Want To Restore The Original, Default Settings For This Page?");

} // namespace

SettingsActions::SettingsActions(MainWindow& form, RunSettings& settings, MailListModel& mailList,
                                 Prompter& prompter, QObject* parent)
    : QObject(parent), m_form(form), m_settings(settings), m_mailList(mailList),
      m_prompter(prompter), m_pages(form.settingsPages()),
      m_dateStyleChooser(m_pages.dateStyleChooser())
{
    if (form.mailListModel() != &mailList)
        form.setMailListModel(&mailList);

    connectBox(OptionBox::CheckSelectedOnly,
               [this](bool on) { m_settings.checkSelectedOnly = on; });
    connectBox(OptionBox::AutoCheckOnOpen, [this](bool on) { m_settings.autoCheckOnOpen = on; });
    connectBox(OptionBox::UseRetr, [this](bool on) { m_settings.useRetr = on; });
    connectBox(OptionBox::UseApop, [this](bool on) { m_settings.useApop = on; });
    connectBox(OptionBox::ToolTipsOff, [this](bool on) {
        m_settings.toolTipsOff = on;
        m_form.setToolTipsOff(m_settings.toolTipsOff);
        m_form.applyToolTips();
    });
    connectBox(OptionBox::TrayOnClose, [this](bool on) { trayOnCloseChanged(on); });
    connectBox(OptionBox::DeleteEnabled, [this](bool on) { deleteFunctionsChanged(on); });

    connect(m_dateStyleChooser, &QComboBox::activated, this, &SettingsActions::dateStyleChosen);

    connect(m_pages.defaultsButton(1), &QPushButton::clicked, this, &SettingsActions::restorePage1);
    connect(m_pages.defaultsButton(2), &QPushButton::clicked, this, &SettingsActions::restorePage2);
    connect(m_pages.defaultsButton(3), &QPushButton::clicked, this, &SettingsActions::restorePage3);
}

void SettingsActions::connectBox(OptionBox option, std::function<void(bool)> action)
{
    QCheckBox* box = m_pages.optionBox(option);
    // A change made in code (a "Defaults" button clearing the box) runs the
    // same action as a click.
    connect(box, &QCheckBox::toggled, this, std::move(action));
}

// --- Boxes with more to do -------------------------------------------------

void SettingsActions::trayOnCloseChanged(bool checked)
{
    // The initial value set while loading is no user change.
    if (!m_form.hasBecomeActive())
        return;
    // The tray behaviour of this run stays; the box only decides the next.
    m_settings.trayOnClose = checked;
    m_prompter.showMessage(MessageKind::Notice, programTitle(),
                           m_settings.trayOnClose == m_settings.trayInEffect
                               ? QStringLiteral("Your Current Tray Icon Setting Will Remain In "
                                                "Effect.")
                               : QStringLiteral("Tray Icon Setting Change Will Be Applied Next "
                                                "App Run."));
}

void SettingsActions::deleteFunctionsChanged(bool checked)
{
    if (!m_form.hasBecomeActive())
        return;
    // Switching the picture set must not lose any row's new/seen image.
    QVector<MailImage> images(m_mailList.itemCount());
    for (int row = 0; row < images.size(); ++row)
        images[row] = m_mailList.item(row).image;

    m_settings.deleteEnabled = checked;
    m_form.setDeleteEnabled(m_settings.deleteEnabled);
    m_form.showMailCheckBoxes(checked);
    if (!checked) {
        // "Delete Mail" comes back only when the mail tab is selected again
        // with the functions on.
        m_form.deleteMailButton()->setEnabled(false);
    }
    for (int row = 0; row < images.size(); ++row) {
        m_mailList.setImage(row, images[row]);
        if (!checked)
            uncheckRow(m_mailList, row + 1);
    }
}

// --- Date style chooser ------------------------------------------------------

void SettingsActions::dateStyleChosen(int index)
{
    if (index >= 0)
        m_settings.dateStyle = dateStyleAtChooserIndex(index);
    if (isBelowAsSent(m_settings.dateStyle)) {
        m_settings.dateStyle = DateStyle::AsSent;
        m_dateStyleChooser->setCurrentIndex(0);
    }
}

void SettingsActions::showDateStyle()
{
    if (isBelowAsSent(m_settings.dateStyle))
        m_settings.dateStyle = DateStyle::AsSent;
    // A style with no entry leaves the chooser as it is.
    if (const auto entry = dateStyleChooserIndex(m_settings.dateStyle, m_dateStyleChooser->count()))
        m_dateStyleChooser->setCurrentIndex(*entry);
}

// --- "Defaults" ----------------------------------------------------------------

bool SettingsActions::confirmDefaults(const QString& question)
{
    return m_prompter.askYesNo(programTitle(), question);
}

void SettingsActions::clearBox(OptionBox option)
{
    m_pages.optionBox(option)->setChecked(false);
}

void SettingsActions::restorePage1()
{
    if (!confirmDefaults(defaultsQuestion))
        return;
    for (OptionBox box :
         {OptionBox::CheckSelectedOnly, OptionBox::AutoCheckOnOpen, OptionBox::PlaySound,
          OptionBox::ContinuousAlarm, OptionBox::IdleIfOffline, OptionBox::AutoStartTimer,
          OptionBox::DeleteEnabled})
        clearBox(box);
    // A field that held a value other than 1 left its box clear and ran no
    // action: the settings are set here whatever the boxes showed.
    m_settings.restorePage1Defaults();
    m_form.setDeleteEnabled(m_settings.deleteEnabled);
    m_form.setRecheckIntervalMinutes(m_settings.recheckIntervalMinutes);
    m_pages.intervalBox()->setText(QString::number(m_settings.recheckIntervalMinutes));
    if (m_page1RecheckHook)
        m_page1RecheckHook();
}

void SettingsActions::restorePage2()
{
    if (!confirmDefaults(defaultsQuestion + QStringLiteral(" (Except Password)")))
        return;
    clearBox(OptionBox::TrayOnClose);
    m_settings.restorePage2Defaults();
    m_dateStyleChooser->setCurrentIndex(0);
    m_pages.timeoutBox()->setText(QString::number(m_settings.serverTimeoutSeconds));
    const bool tipsWereOff = m_form.toolTipsOff();
    clearBox(OptionBox::ToolTipsOff);
    m_form.setToolTipsOff(m_settings.toolTipsOff);
    if (tipsWereOff)
        m_form.applyToolTips();
}

void SettingsActions::restorePage3()
{
    if (!confirmDefaults(defaultsQuestion))
        return;
    clearBox(OptionBox::UseRetr);
    clearBox(OptionBox::UseApop);
    m_pages.apopSecretBox()->clear();
    m_settings.restorePage3Defaults();
}
