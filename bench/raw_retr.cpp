// The yardstick for reading a RETR reply: a plain blocking socket client
// that logs on with USER/PASS, sends RETR 1 and reads until the closing
// CR LF "." CR LF, keeping nothing. Prints the bytes of the reply and the
// milliseconds from sending RETR to its last byte.
//
// usage: raw_retr HOST PORT USER PASSWORD
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int fail(const char* what)
{
    std::perror(what);
    return 1;
}

bool sendLine(int fd, const std::string& line)
{
    const std::string bytes = line + "\r\n";
    return send(fd, bytes.data(), bytes.size(), 0) == ssize_t(bytes.size());
}

// One-line reply; true when it starts with "+OK".
bool readStatus(int fd)
{
    std::string line;
    char c;
    while (recv(fd, &c, 1, 0) == 1) {
        line += c;
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
            return line.rfind("+OK", 0) == 0;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: raw_retr HOST PORT USER PASSWORD\n");
        return 2;
    }
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::atoi(argv[2]));
    if (fd < 0 || inet_pton(AF_INET, argv[1], &address.sin_addr) != 1 ||
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return fail("connect");
    if (!readStatus(fd) || !sendLine(fd, std::string("USER ") + argv[3]) || !readStatus(fd) ||
        !sendLine(fd, std::string("PASS ") + argv[4]) || !readStatus(fd))
        return fail("log-on");

    const auto start = std::chrono::steady_clock::now();
    if (!sendLine(fd, "RETR 1"))
        return fail("send");
    static char buffer[256 * 1024];
    const char marker[] = "\r\n.\r\n";
    char tail[4] = {}; // the last bytes before this arrival
    size_t tailSize = 0;
    long long total = 0;
    bool done = false;
    while (!done) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return fail("recv");
        total += n;
        // The marker may straddle two arrivals: test the seam, then the new bytes.
        char seam[8];
        std::memcpy(seam, tail, tailSize);
        const size_t fromNew = std::min<size_t>(size_t(n), 4);
        std::memcpy(seam + tailSize, buffer, fromNew);
        done = memmem(seam, tailSize + fromNew, marker, 5) != nullptr ||
               memmem(buffer, size_t(n), marker, 5) != nullptr;
        if (size_t(n) >= 4) {
            std::memcpy(tail, buffer + n - 4, 4);
            tailSize = 4;
        } else {
            const size_t keep = std::min<size_t>(4 - size_t(n), tailSize);
            std::memmove(tail, tail + tailSize - keep, keep);
            std::memcpy(tail + keep, buffer, size_t(n));
            tailSize = keep + size_t(n);
        }
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    sendLine(fd, "QUIT");
    readStatus(fd);
    close(fd);
    std::printf("%lld %.3f\n", total, ms);
    return 0;
}
