#include "ui/tray_icon.h"

#include "runs/run_texts.h"
#include "storage/run_settings.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

TrayIcon::TrayIcon(MainWindow& form, const RunSettings& settings, Probe probe, QObject* parent)
    : QObject(parent), m_form(form), m_settings(settings), m_probe(std::move(probe))
{
    if (!m_probe)
        m_probe = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    const TrayMenu& menu = form.menus().tray;
    m_menu = menu.menu;
    m_menu->setDefaultAction(menu.open);
    connect(menu.open, &QAction::triggered, this, &TrayIcon::showWindow);
    connect(menu.close, &QAction::triggered, this, &TrayIcon::closeRequested);
    // "Hide Menu" has no action: choosing it just closes the menu.
}

TrayIcon::~TrayIcon()
{
    removeIcon();
}

void TrayIcon::addIcon()
{
    // Decided once, at the first activation, for the whole run.
    if (m_addDecided)
        return;
    m_addDecided = true;
    if (!m_settings.trayInEffect)
        return;
    m_icon = new QSystemTrayIcon(m_form.windowIcon(), this);
    m_icon->setObjectName(QStringLiteral("TrayIcon"));
    m_icon->setToolTip(m_form.windowTitle());
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);
    m_icon->show();
}

void TrayIcon::removeIcon()
{
    if (!m_icon)
        return;
    m_icon->hide();
    m_icon->setContextMenu(nullptr);
    delete m_icon;
    m_icon = nullptr;
}

bool TrayIcon::isInEffect() const
{
    return m_icon && m_probe();
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger)
        return;
    if (m_form.isVisible())
        m_form.hide();
    else
        showWindow();
}

void TrayIcon::showWindow()
{
    if (m_form.isMinimized())
        m_form.showNormal();
    else
        m_form.show();
    m_form.raise();
    m_form.activateWindow();
}

QString TrayIcon::newMailText(int newMailCount)
{
    // The same words as the log's summary line.
    return RunText::newMailItems(newMailCount);
}

void TrayIcon::announceNewMail(int newMailCount, int /*totalItems*/)
{
    if (newMailCount <= 0 || !isInEffect())
        return;
    const QString title = m_form.windowTitle();
    if (m_notifier)
        m_notifier(title, newMailText(newMailCount));
    else
        m_icon->showMessage(title, newMailText(newMailCount), QSystemTrayIcon::Information);
}
