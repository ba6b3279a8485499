#include "app/single_instance.h"

#include "platform/program_title.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray ShowRequest = QByteArrayLiteral("show\n");
// Longer than any request: a peer that sends more is dropped.
constexpr qint64 RequestLimit = 64;
// How long a later start tries to reach the first copy, which may still be
// between taking the lock and listening.
constexpr int ReachFirstCopyMs = 2000;
constexpr int RetryPauseMs = 50;

const QFileDevice::Permissions OwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// A folder of this user's that no one else may enter or write into; a
// runtime folder set to a shared place is not used.
bool isPrivateFolder(const QString& path)
{
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return false;
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

QString canonicalHome(const QString& homeFolder)
{
    const QString canonical = QFileInfo(homeFolder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(homeFolder).absolutePath()) : canonical;
}

// The data folder of the home, made owner-only as the start-up does when it
// is missing; empty when it cannot be had.
QString dataFolderOf(const QString& home)
{
    const QString appData = QDir::cleanPath(home + "/Application Data");
    QString data = appData + '/' + programTitle();
    for (const QString& folder : {appData, data}) {
        if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder, OwnerOnlyFolder))
            return {};
    }
    return data;
}

// Tells the running copy to show its window. True when it took the request.
bool askFirstCopyToShow(const QString& socketPath)
{
    QLocalSocket socket;
    const QDeadlineTimer deadline(ReachFirstCopyMs);
    while (true) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(RetryPauseMs))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(RetryPauseMs);
    }
    socket.write(ShowRequest);
    const bool written = socket.waitForBytesWritten(ReachFirstCopyMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(ReachFirstCopyMs);
    return written;
}

} // namespace

SingleInstanceGuard::SingleInstanceGuard(const QString& homeFolder, QObject* parent)
    : SingleInstanceGuard(homeFolder, qEnvironmentVariable("XDG_RUNTIME_DIR"), parent)
{
}

SingleInstanceGuard::SingleInstanceGuard(const QString& homeFolder, const QString& runtimeFolder,
                                         QObject* parent)
    : QObject(parent)
{
    const QString home = canonicalHome(homeFolder);
    const QString key = QString::fromLatin1(
        QCryptographicHash::hash(home.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
    Attempt attempt = Attempt::Undecided;
    if (isPrivateFolder(runtimeFolder))
        attempt = lockIn(runtimeFolder, key);
    if (attempt == Attempt::Undecided) {
        const QString data = dataFolderOf(home);
        if (!data.isEmpty())
            attempt = lockIn(data, key);
    }
    m_first = attempt != Attempt::Second;
}

SingleInstanceGuard::~SingleInstanceGuard()
{
    delete m_server;
    if (m_lockFile >= 0)
        ::close(m_lockFile);
}

bool SingleInstanceGuard::isListening() const
{
    return m_server && m_server->isListening();
}

SingleInstanceGuard::Attempt SingleInstanceGuard::lockIn(const QString& folder, const QString& key)
{
    const QString base = folder + "/quorvamel-" + key;
    const int file = ::open(QFile::encodeName(base + ".lock").constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (file < 0)
        return Attempt::Undecided;
    if (::flock(file, LOCK_EX | LOCK_NB) == 0) {
        m_lockFile = file;
        m_lockPath = base + ".lock";
        listen(base + ".sock");
        return Attempt::First;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(file);
    if (!held)
        return Attempt::Undecided;
    m_lockPath = base + ".lock";
    askFirstCopyToShow(base + ".sock");
    return Attempt::Second;
}

void SingleInstanceGuard::listen(const QString& socketPath)
{
    // We hold the lock, so a socket there was left by a copy that crashed.
    QLocalServer::removeServer(socketPath);
    // Only this user can enter the folder, so the socket needs no access
    // option of its own (which would also lengthen its path for a while).
    m_server = new QLocalServer(this);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstanceGuard::acceptRequests);
    if (!m_server->listen(socketPath))
        qWarning("Cannot listen for later starts at %s: %s", qPrintable(socketPath),
                 qPrintable(m_server->errorString()));
}

void SingleInstanceGuard::acceptRequests()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        if (socket->bytesAvailable() > 0)
            readRequest(socket);
    }
}

void SingleInstanceGuard::readRequest(QLocalSocket* socket)
{
    if (socket->bytesAvailable() > RequestLimit) {
        socket->abort();
        return;
    }
    if (!socket->canReadLine())
        return;
    const QByteArray request = socket->readLine();
    socket->disconnectFromServer();
    if (request == ShowRequest)
        emit showRequested();
}
