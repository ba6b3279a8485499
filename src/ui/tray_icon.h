#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <functional>

class MainWindow;
class QMenu;
struct RunSettings;

// The icon in the notification area while the tray setting is in effect:
// a left click shows or hides the window, the context menu is
// mnuTrayIconPop1 ("Open", "Close", "Hide Menu"), and new mail found by a
// check run is announced beside the sound.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    using Probe = std::function<bool()>;
    using Notifier = std::function<void(const QString& title, const QString& text)>;

    // probe tells whether the desktop has a notification area (by default
    // QSystemTrayIcon::isSystemTrayAvailable).
    explicit TrayIcon(MainWindow& form, const RunSettings& settings, Probe probe = {},
                      QObject* parent = nullptr);
    ~TrayIcon() override;

    // Adds the icon when the tray setting is in effect (the first time the
    // window becomes active); later calls do nothing.
    void addIcon();
    // Removes the icon (the window's final close).
    void removeIcon();
    bool hasIcon() const { return m_icon != nullptr; }
    // The icon exists and the desktop has a notification area to show it:
    // only then may the close box hide the window.
    bool isInEffect() const;
    QSystemTrayIcon* icon() const { return m_icon; }

    // Replaces the desktop notification (tests).
    void setNotifier(Notifier notifier) { m_notifier = std::move(notifier); }
    static QString newMailText(int newMailCount);

public slots:
    // Clicks on the icon: a left click (Trigger) shows or hides the window.
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    // Tray menu "Open".
    void showWindow();
    // A check run ended with its summary.
    void announceNewMail(int newMailCount, int totalItems);

signals:
    // Tray menu "Close": the program closes the window, with saving.
    void closeRequested();

private:
    MainWindow& m_form;
    const RunSettings& m_settings;
    Probe m_probe;
    Notifier m_notifier;
    QSystemTrayIcon* m_icon = nullptr;
    QMenu* m_menu = nullptr;
    bool m_addDecided = false;
};
