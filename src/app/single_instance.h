#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// One copy of the window program per user and real home folder. The first
// copy holds a lock on a file (released by the system however the process
// ends, so a crash leaves nothing to clean up) and listens on a local socket beside it, both in a
// folder nobody else can enter: the session's runtime folder when it is
// this user's alone, else the data folder. Their names come from the home
// folder's canonical path, so a home reached through a symbolic link is the
// same home. A later copy asks the first one to show its window and ends.
class SingleInstanceGuard : public QObject
{
    Q_OBJECT

public:
    // The runtime folder is taken from XDG_RUNTIME_DIR.
    explicit SingleInstanceGuard(const QString& homeFolder, QObject* parent = nullptr);
    SingleInstanceGuard(const QString& homeFolder, const QString& runtimeFolder,
                        QObject* parent = nullptr);
    ~SingleInstanceGuard() override;

    // True also when no private folder could hold the lock: the start is
    // never refused for want of one.
    bool isFirstInstance() const { return m_first; }
    // The lock file in use or found held; empty when none could be made.
    QString lockPath() const { return m_lockPath; }
    // True while the first copy listens for show requests.
    bool isListening() const;

signals:
    // A later start asked for the window.
    void showRequested();

private:
    enum class Attempt { First, Second, Undecided };
    Attempt lockIn(const QString& folder, const QString& key);
    void listen(const QString& socketPath);
    void acceptRequests();
    void readRequest(QLocalSocket* socket);

    int m_lockFile = -1;
    QLocalServer* m_server = nullptr;
    QString m_lockPath;
    bool m_first = true;
};
