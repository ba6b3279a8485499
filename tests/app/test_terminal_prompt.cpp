// The terminal questions of quorvamel-check, driven through a
// pseudo-terminal: the real program for the run password, the function
// itself for the Yes/No question. The test keeps a descriptor of the
// terminal's slave side open, so it can read the terminal's settings at
// any moment, also after the program has gone.
#include "app/terminal_prompt.h"
#include "platform/codepage.h"
#include "storage/scramble.h"
#include "storage/settings_file.h"
#include "storage/settings_record.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

const QByteArray Prompt = "Quorvamel password: ";
const QString RunPassword = QStringLiteral("letmein");
constexpr int Patience = 30000; // ms; the machine may be busy

bool echoIsOn(const termios& t)
{
    return t.c_lflag & ECHO;
}

class PtyChild
{
public:
    PtyChild()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        const char* name = ptsname(m_master);
        if (name)
            m_slave = ::open(name, O_RDWR | O_NOCTTY);
    }
    ~PtyChild()
    {
        if (m_pid > 0 && !m_exited) {
            ::kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    PtyChild(const PtyChild&) = delete;
    PtyChild& operator=(const PtyChild&) = delete;

    bool isOpen() const { return m_master >= 0 && m_slave >= 0; }
    int slave() const { return m_slave; }
    pid_t pid() const { return m_pid; }
    const QByteArray& output() const { return m_output; }

    termios settings() const
    {
        termios t{};
        tcgetattr(m_slave, &t);
        return t;
    }

    // Runs body in a child whose controlling terminal, standard input,
    // output and error are this terminal, with SIGINT, SIGTERM, SIGHUP and
    // SIGQUIT at their default action (SIGHUP ignored if asked) and no core
    // file. Whatever body needs must be made before: after fork only
    // async-signal-safe calls are made here.
    bool start(const std::function<void()>& body, bool ignoreHangup = false)
    {
        m_pid = fork();
        if (m_pid < 0)
            return false;
        if (m_pid > 0)
            return true;
        setsid();
        ioctl(m_slave, TIOCSCTTY, 0);
        for (int fd = 0; fd <= 2; ++fd)
            dup2(m_slave, fd);
        ::close(m_master);
        ::close(m_slave);
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            signal(s, s == SIGHUP && ignoreHangup ? SIG_IGN : SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        body();
        _exit(127);
    }

    bool write(const QByteArray& bytes)
    {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Collects what the child wrote for up to timeoutMs; true once the
    // output holds needle.
    bool readUntil(const QByteArray& needle, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!m_output.contains(needle)) {
            if (deadline.hasExpired())
                return false;
            readSome(int(qMin<qint64>(deadline.remainingTime(), 50)));
        }
        return true;
    }

    // Waits for the child to end while reading its output; the status as
    // waitpid gives it. False if it is still running after timeoutMs.
    bool waitForExit(int timeoutMs, int* status)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (waitpid(m_pid, status, WNOHANG) == 0) {
            if (deadline.hasExpired())
                return false;
            readSome(20);
        }
        m_exited = true;
        while (readSome(100)) {
        }
        return true;
    }

    bool isRunning() { return waitpid(m_pid, nullptr, WNOHANG) == 0; }

    // Reads what is there within waitMs; false when nothing came.
    bool readSome(int waitMs)
    {
        pollfd p{m_master, POLLIN, 0};
        if (poll(&p, 1, waitMs) <= 0 || !(p.revents & POLLIN))
            return false;
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        m_output.append(buffer, n);
        return true;
    }

    // Queues input without the terminal echoing it, as if typed while an
    // earlier program had echo off; the settings are given back after the
    // line has reached the input queue.
    bool typeAheadUnechoed(const QByteArray& line)
    {
        const termios original = settings();
        termios quiet = original;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        if (tcsetattr(m_slave, TCSANOW, &quiet) != 0 || !write(line))
            return false;
        pollfd p{m_slave, POLLIN, 0};
        const bool queued = poll(&p, 1, Patience) == 1;
        return tcsetattr(m_slave, TCSANOW, &original) == 0 && queued;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    pid_t m_pid = -1;
    bool m_exited = false;
    QByteArray m_output;
};

// The program with its arguments and environment, made ready before fork.
struct Exec
{
    QByteArray path;
    std::vector<QByteArray> environment;
    std::vector<char*> argv;
    std::vector<char*> envp;

    Exec(const QString& program, const QString& home)
    {
        path = QFile::encodeName(program);
        QStringList env = QProcessEnvironment::systemEnvironment().toStringList();
        env.removeIf([](const QString& e) { return e.startsWith(QLatin1String("HOME=")); });
        env.append(QStringLiteral("HOME=") + home);
        for (const QString& e : env)
            environment.push_back(e.toLocal8Bit());
        argv = {path.data(), nullptr};
        for (QByteArray& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
    }
    std::function<void()> body()
    {
        return [this] { execve(path.constData(), argv.data(), envp.data()); };
    }
};

enum Moment { BeforeStart, WhilePromptHeldBack, AfterPrompt };

} // namespace

class TestTerminalPrompt : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void passwordEntry_data();
    void passwordEntry();
    void signalAtPrompt_data();
    void signalAtPrompt();
    void yesNoQuestion_data();
    void yesNoQuestion();

private:
    QString m_program;
    QTemporaryDir m_home;
};

// A home whose settings ask for a run password and which has no accounts:
// past the password the check halts at once, exit status 1.
void TestTerminalPrompt::initTestCase()
{
    m_program = QStringLiteral(QUORVAMEL_BIN_DIR) + QStringLiteral("/quorvamel-check");
    QVERIFY2(QFileInfo::exists(m_program),
             "quorvamel-check is not built (cmake --build <dir> --target quorvamel-check)");
    QVERIFY(m_home.isValid());
    const QString data = m_home.path() + QStringLiteral("/Application Data/Quorvamel");
    QVERIFY(QDir().mkpath(data));
    SettingsRecord settings = SettingsRecord::templateRecord();
    settings.scrambledRunPassword = toAnsi(scramblePassword(RunPassword));
    QVERIFY(writeSettingsFile(data + QStringLiteral("/quorvamel.ini"), settings));
}

void TestTerminalPrompt::passwordEntry_data()
{
    QTest::addColumn<int>("moment");
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("shown");
    const QByteArray halted = "No Usernames Are Configured.";
    QTest::newRow("typed before the program starts")
        << int(BeforeStart) << QByteArray("letmein\n") << 1 << halted;
    QTest::newRow("typed while the prompt is held back")
        << int(WhilePromptHeldBack) << QByteArray("letmein\n") << 1 << halted;
    QTest::newRow("typed after the prompt")
        << int(AfterPrompt) << QByteArray("letmein\n") << 1 << halted;
    QTest::newRow("wrong password")
        << int(AfterPrompt) << QByteArray("letmeout\n") << 2 << QByteArray("wrong password");
}

void TestTerminalPrompt::passwordEntry()
{
    QFETCH(int, moment);
    QFETCH(QByteArray, typed);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, shown);
    PtyChild pty;
    QVERIFY(pty.isOpen());
    Exec exec(m_program, m_home.path());

    if (moment == BeforeStart)
        QVERIFY(pty.typeAheadUnechoed(typed));
    const termios original = pty.settings();
    QVERIFY(echoIsOn(original));
    if (moment == WhilePromptHeldBack)
        QVERIFY(tcflow(pty.slave(), TCOOFF) == 0); // the prompt cannot come out
    QVERIFY(pty.start(exec.body()));

    if (moment == WhilePromptHeldBack) {
        // Echo must go off before the prompt is written, so it does while
        // the prompt's write waits.
        QDeadlineTimer deadline(Patience);
        while (echoIsOn(pty.settings()) && !deadline.hasExpired())
            QTest::qSleep(10);
        QVERIFY2(!echoIsOn(pty.settings()), "echo still on while the prompt is written");
        pty.readSome(50);
        QVERIFY(!pty.output().contains(Prompt));
        QVERIFY(pty.write(typed));
        QVERIFY(tcflow(pty.slave(), TCOON) == 0);
    }
    if (moment == AfterPrompt) {
        QVERIFY2(pty.readUntil(Prompt, Patience), pty.output().constData());
        QVERIFY2(!echoIsOn(pty.settings()), "echo on at the prompt");
        QVERIFY(pty.write(typed));
    }

    int status = 0;
    QVERIFY2(pty.waitForExit(Patience, &status),
             (QByteArray("still waiting for the password: ") + pty.output()).constData());
    QVERIFY(pty.output().contains(Prompt));
    QVERIFY2(WIFEXITED(status), pty.output().constData());
    QCOMPARE(WEXITSTATUS(status), exitCode);
    QVERIFY2(pty.output().contains(shown), pty.output().constData());
    if (exitCode != 2)
        QVERIFY2(!pty.output().contains("wrong password"), pty.output().constData());
    QVERIFY2(!pty.output().contains(typed.trimmed()), pty.output().constData());
    // Echo is back on after an ordinary end as well.
    QCOMPARE(pty.settings().c_lflag, original.c_lflag);
}

void TestTerminalPrompt::signalAtPrompt_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("ignoredByCaller");
    QTest::newRow("SIGINT") << int(SIGINT) << false;
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false;
    QTest::newRow("SIGQUIT") << int(SIGQUIT) << false;
    QTest::newRow("SIGHUP under nohup") << int(SIGHUP) << true;
}

void TestTerminalPrompt::signalAtPrompt()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, ignoredByCaller);
    PtyChild pty;
    QVERIFY(pty.isOpen());
    Exec exec(m_program, m_home.path());
    const termios original = pty.settings();
    QVERIFY(pty.start(exec.body(), ignoredByCaller));
    QVERIFY2(pty.readUntil(Prompt, Patience), pty.output().constData());
    QVERIFY(!echoIsOn(pty.settings()));

    QCOMPARE(::kill(pty.pid(), signalNumber), 0);
    int status = 0;
    if (ignoredByCaller) {
        // Still at the prompt, echo still off; the answer is still taken.
        QVERIFY(!pty.waitForExit(300, &status));
        QVERIFY(!echoIsOn(pty.settings()));
        QVERIFY(pty.write("letmein\n"));
        QVERIFY(pty.waitForExit(Patience, &status));
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 1, pty.output().constData());
    } else {
        QVERIFY(pty.waitForExit(Patience, &status));
        // Ended by the signal itself, so its caller sees why.
        QVERIFY2(WIFSIGNALED(status), pty.output().constData());
        QCOMPARE(WTERMSIG(status), signalNumber);
    }
    const termios after = pty.settings();
    QVERIFY(echoIsOn(after));
    QCOMPARE(after.c_lflag, original.c_lflag);
    QCOMPARE(after.c_iflag, original.c_iflag);
}

void TestTerminalPrompt::yesNoQuestion_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<bool>("yes");
    QTest::newRow("y") << QByteArray("y\n") << true;
    QTest::newRow("Yes") << QByteArray("Yes\n") << true;
    QTest::newRow("n") << QByteArray("n\n") << false;
    QTest::newRow("just Enter") << QByteArray("\n") << false;
    QTest::newRow("end of input") << QByteArray("\x04") << false;
}

void TestTerminalPrompt::yesNoQuestion()
{
    QFETCH(QByteArray, typed);
    QFETCH(bool, yes);
    PtyChild pty;
    QVERIFY(pty.isOpen());
    // The question may quote the server.
    const QString question = QStringLiteral("Delete \x1b[2Jall?");
    QVERIFY(pty.start([&] { _exit(askYesNoOnTerminal(question) ? 0 : 1); }));
    const QByteArray asked = QStringLiteral("Delete \u241b[2Jall? [y/N] ").toUtf8();
    QVERIFY2(pty.readUntil(asked, Patience), pty.output().constData());
    QVERIFY(echoIsOn(pty.settings()));
    QVERIFY(pty.write(typed));
    int status = 0;
    QVERIFY2(pty.waitForExit(Patience, &status), pty.output().constData());
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status) == 0, yes);
    QVERIFY(!pty.output().contains('\x1b'));
    if (typed.size() > 1) // the answer was echoed
        QVERIFY2(pty.output().endsWith(typed.trimmed() + "\r\n"), pty.output().constData());
}

QTEST_GUILESS_MAIN(TestTerminalPrompt)
#include "test_terminal_prompt.moc"
