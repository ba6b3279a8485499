#include "app/terminal_prompt.h"

#include "app/terminal_text.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

// The settings to put back if a signal ends the program at the prompt.
// Written before the handlers go in, only read by them.
termios savedTerminal{};

extern "C" void restoreTerminalAndDie(int signalNumber)
{
    const int savedErrno = errno;
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    struct sigaction byDefault
    {
    };
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signalNumber, &byDefault, nullptr);
    // Blocked while this handler runs: delivered, with its default action,
    // as soon as it returns.
    raise(signalNumber);
    errno = savedErrno;
}

constexpr int guardedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int guardedCount = int(sizeof guardedSignals / sizeof guardedSignals[0]);

// Puts the terminal's settings back on the way out of the program by a
// signal, for as long as it lives; the previous handlers come back after.
class EchoGuard
{
public:
    explicit EchoGuard(const termios& original)
    {
        savedTerminal = original;
        struct sigaction restore
        {
        };
        restore.sa_handler = restoreTerminalAndDie;
        sigemptyset(&restore.sa_mask);
        for (int s : guardedSignals)
            sigaddset(&restore.sa_mask, s);
        for (int i = 0; i < guardedCount; ++i) {
            sigaction(guardedSignals[i], nullptr, &m_previous[i]);
            // A signal the caller chose to ignore (nohup) stays ignored.
            m_installed[i] = m_previous[i].sa_handler != SIG_IGN &&
                             sigaction(guardedSignals[i], &restore, nullptr) == 0;
        }
    }
    ~EchoGuard()
    {
        for (int i = 0; i < guardedCount; ++i) {
            if (m_installed[i])
                sigaction(guardedSignals[i], &m_previous[i], nullptr);
        }
    }
    EchoGuard(const EchoGuard&) = delete;
    EchoGuard& operator=(const EchoGuard&) = delete;

private:
    struct sigaction m_previous[guardedCount] = {};
    bool m_installed[guardedCount] = {};
};

// One line from standard input without its line end, read byte by byte so
// nothing beyond it is taken from the terminal. False at end of input
// before any byte.
bool readLine(std::string* line)
{
    line->clear();
    for (;;) {
        char c;
        const ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return !line->empty();
        if (c == '\n')
            return true;
        line->push_back(c);
    }
}

void writeToTerminal(const QByteArray& text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

} // namespace

bool readPasswordFromTerminal(QString* password)
{
    if (!isatty(STDIN_FILENO))
        return false;
    termios original{};
    const bool canHide = tcgetattr(STDIN_FILENO, &original) == 0;
    std::string line;
    bool ok;
    {
        std::optional<EchoGuard> guard;
        if (canHide) {
            guard.emplace(original);
            termios quiet = original;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            // TCSANOW: an answer typed ahead stays in the input queue.
            tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
        }
        writeToTerminal("Quorvamel password: ");
        ok = readLine(&line);
        if (canHide)
            tcsetattr(STDIN_FILENO, TCSANOW, &original);
    }
    // The Enter that ended the line was not echoed either.
    writeToTerminal("\n");
    if (!ok)
        return false;
    *password = QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
    return true;
}

bool askYesNoOnTerminal(const QString& question)
{
    if (!isatty(STDIN_FILENO))
        return false;
    writeToTerminal(terminalSafe(question).toLocal8Bit() + " [y/N] ");
    std::string line;
    if (!readLine(&line))
        return false;
    return !line.empty() && (line[0] == 'y' || line[0] == 'Y');
}
