#include "support/servers_delay_line.h"

#include <QByteArray>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

// Plain sockets and ppoll rather than Qt's event loop: timeouts in
// nanoseconds, so a chunk leaves within a scheduler tick of its time
// instead of rounding to the next millisecond.
namespace {

qint64 nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

struct Chunk
{
    qint64 dueNs;
    QByteArray bytes;
};

// One way of a connection: read from `from`, written to `to`.
struct Direction
{
    int from = -1;
    int to = -1;
    std::deque<Chunk> pending; // read, not yet due
    QByteArray out;            // due, not yet taken by the kernel
    qint64 endDueNs = -1;      // when the end of stream was read, plus the delay
    bool ended = false;        // the end has been passed on

    bool reading() const { return endDueNs < 0; }
};

struct Link
{
    Direction up;   // client to server
    Direction down; // server to client
    bool broken = false;

    bool finished() const { return broken || (up.ended && down.ended); }
};

void setNoDelay(int fd)
{
    // Chunks leave as they came; Nagle's wait for an acknowledgement
    // would add a delay of its own.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int connectTo(quint16 port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // A local connect completes at once: no need to wait for it in the loop.
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    setNoDelay(fd);
    return fd;
}

// Reads what `from` has; false when the connection broke.
bool readInto(Direction& d, qint64 delayNs)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(d.from, buffer, sizeof buffer);
        if (n > 0) {
            d.pending.push_back({nowNs() + delayNs, QByteArray(buffer, n)});
        } else if (n == 0) {
            d.endDueNs = nowNs() + delayNs;
            return true;
        } else {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
    }
}

// Passes on what is due; false when the connection broke.
bool deliver(Direction& d, qint64 now)
{
    while (!d.pending.empty() && d.pending.front().dueNs <= now) {
        d.out += d.pending.front().bytes;
        d.pending.pop_front();
    }
    while (!d.out.isEmpty()) {
        const ssize_t n = send(d.to, d.out.constData(), size_t(d.out.size()), MSG_NOSIGNAL);
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        d.out.remove(0, n);
    }
    if (!d.ended && d.endDueNs >= 0 && d.endDueNs <= now && d.pending.empty()) {
        shutdown(d.to, SHUT_WR);
        d.ended = true;
    }
    return true;
}

// The next time `d` has something to do, or -1.
qint64 nextDue(const Direction& d)
{
    if (!d.pending.empty())
        return d.pending.front().dueNs;
    if (!d.ended && d.endDueNs >= 0 && d.out.isEmpty())
        return d.endDueNs;
    return -1;
}

short eventsFor(int fd, const Link& link)
{
    short events = 0;
    for (const Direction* d : {&link.up, &link.down}) {
        if (d->from == fd && d->reading())
            events |= POLLIN;
        if (d->to == fd && !d->out.isEmpty())
            events |= POLLOUT;
    }
    return events;
}

} // namespace

DelayLine::DelayLine(quint16 targetPort) : m_targetPort(targetPort) {}

DelayLine::~DelayLine()
{
    stop();
}

bool DelayLine::start()
{
    stop();
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listenFd < 0 || bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(m_listenFd, 64) != 0 ||
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        m_error = QStringLiteral("delay line cannot listen: %1")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
        stop();
        return false;
    }
    m_port = ntohs(address.sin_port);
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_stopping = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void DelayLine::stop()
{
    if (m_thread.joinable()) {
        m_stopping = true;
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    for (int* fd : {&m_listenFd, &m_wakeFd}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    m_port = 0;
}

void DelayLine::run()
{
    // Wake-ups on time, not up to 50 us late (the default slack).
    prctl(PR_SET_TIMERSLACK, 1UL);
    std::vector<std::unique_ptr<Link>> links;
    std::vector<pollfd> fds;
    while (!m_stopping) {
        const qint64 now = nowNs();
        qint64 next = -1;
        for (auto it = links.begin(); it != links.end();) {
            Link& link = **it;
            link.broken = link.broken || !deliver(link.up, now) || !deliver(link.down, now);
            if (link.finished()) {
                close(link.up.from);
                close(link.up.to);
                it = links.erase(it);
                continue;
            }
            for (const Direction* d : {&link.up, &link.down}) {
                const qint64 due = nextDue(*d);
                if (due >= 0 && (next < 0 || due < next))
                    next = due;
            }
            ++it;
        }

        fds.assign({{m_wakeFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}});
        for (const auto& link : links)
            for (int fd : {link->up.from, link->up.to}) {
                // A side with nothing to read or write stays out: a closed
                // socket would report a hang-up on every round.
                const short events = eventsFor(fd, *link);
                fds.push_back({events ? fd : -1, events, 0});
            }
        timespec timeout{};
        if (next >= 0) {
            const qint64 wait = qMax<qint64>(0, next - nowNs());
            timeout.tv_sec = time_t(wait / 1'000'000'000LL);
            timeout.tv_nsec = long(wait % 1'000'000'000LL);
        }
        if (ppoll(fds.data(), fds.size(), next >= 0 ? &timeout : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }

        const qint64 delayNs = m_delayUs.load() * 1000;
        for (size_t i = 0; i < links.size(); ++i) {
            Link& link = *links[i];
            for (size_t side = 0; side < 2; ++side) {
                const pollfd& p = fds[2 + 2 * i + side];
                Direction& d = side == 0 ? link.up : link.down;
                if (p.fd >= 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)) && d.reading())
                    link.broken = link.broken || !readInto(d, delayNs);
            }
        }
        if (fds[1].revents & POLLIN) {
            int client;
            while ((client = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >=
                   0) {
                const int server = connectTo(m_targetPort);
                if (server < 0) {
                    close(client);
                    continue;
                }
                setNoDelay(client);
                auto link = std::make_unique<Link>();
                link->up.from = link->down.to = client;
                link->up.to = link->down.from = server;
                links.push_back(std::move(link));
            }
        }
    }
    for (const auto& link : links) {
        close(link->up.from);
        close(link->up.to);
    }
}
