#include "app/check_cli.h"

#include "app/check_sign_in.h"
#include "app/header_cache_keeper.h"
#include "app/sign_in_keeper.h"
#include "app/startup.h"
#include "app/terminal_text.h"
#include "model/account_list_model.h"
#include "model/mail_list_model.h"
#include "platform/connectivity.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "platform/secret_service.h"
#include "platform/tick_source.h"
#include "runs/account_store.h"
#include "runs/certificate_probe.h"
#include "runs/certificate_trust.h"
#include "runs/run_coordinator.h"
#include "storage/file_checks.h"
#include "storage/run_settings.h"
#include "storage/settings_file.h"
#include "storage/users_file.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>
#include <QTimer>
#include <unistd.h>

namespace {

enum class Format { Rows, Json, Count };

struct Arguments
{
    Format format = Format::Rows;
    bool help = false;
    // --trust: the server and port whose certificate to fetch.
    QString trustHost;
    int trustPort = 0;
};

const char* usageText =
    "Usage: quorvamel-check [--json | --count]\n"
    "       quorvamel-check --trust SERVER:PORT\n"
    "\n"
    "Checks every configured account (or only the ticked ones, as set) for\n"
    "mail once, using the data folder under $HOME, and prints the mail list.\n"
    "\n"
    "  (no option)  one line per row, fields separated by TAB: Display Name,\n"
    "               Username, From, Subject, Date Sent, Server, Port, new|seen\n"
    "  --json       the rows as a JSON array of objects\n"
    "  --count      only the number of mail items (without \"(no mail)\" rows)\n"
    "  --trust SERVER:PORT\n"
    "               fetch the server's certificate as a check would (TLS on\n"
    "               port 995, STLS on any other), show it and, when the\n"
    "               system does not vouch for it, ask whether to trust it for\n"
    "               this server and port; checks then accept it\n"
    "  --help       this text\n"
    "\n"
    "The log goes to standard error. Exit status: 0 the check completed (or\n"
    "the certificate is trusted), 1 it halted (or was not trusted), 2 bad\n"
    "usage or a start-up failure.\n";

// Message boxes become lines on standard error; questions go to the
// terminal when there is one. Their text may quote the server.
class TerminalPrompter : public Prompter
{
public:
    explicit TerminalPrompter(const CheckCliIo& io) : m_io(io) {}
    void showMessage(MessageKind, const QString& title, const QString& text) override
    {
        *m_io.err << terminalSafeLines(title + QStringLiteral(": ") + text) << Qt::endl;
    }
    bool askYesNo(const QString& title, const QString& text) override
    {
        return m_io.askYesNo && m_io.askYesNo(title + QStringLiteral(": ") + text);
    }
    QString askText(const QString&, const QString&, EntryEcho) override { return {}; }

private:
    const CheckCliIo& m_io;
};

void printRows(const MailListModel& mails, Format format, QTextStream& out)
{
    if (format == Format::Count) {
        int count = 0;
        for (int i = 0; i < mails.itemCount(); ++i)
            count += mails.item(i).isNoMailRow() ? 0 : 1;
        out << count << Qt::endl;
        return;
    }
    if (format == Format::Json) {
        QJsonArray rows;
        for (int i = 0; i < mails.itemCount(); ++i) {
            const MailItem& m = mails.item(i);
            rows.append(QJsonObject{{"displayName", m.displayName},
                                    {"userName", m.userName},
                                    {"from", m.from},
                                    {"subject", m.subject},
                                    {"dateSent", m.dateSent},
                                    {"server", m.server},
                                    {"port", m.port},
                                    {"isNew", m.image == MailImage::New}});
        }
        out << QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented));
        out.flush();
        return;
    }
    for (int i = 0; i < mails.itemCount(); ++i) {
        const MailItem& m = mails.item(i);
        const QStringList fields{
            m.displayName,
            m.userName,
            m.from,
            m.subject,
            m.dateSent,
            m.server,
            m.port,
            m.image == MailImage::New ? QStringLiteral("new") : QStringLiteral("seen")};
        QStringList flatFields;
        for (const QString& f : fields)
            flatFields.append(terminalSafeField(f));
        out << flatFields.join(QLatin1Char('\t')) << '\n';
    }
    out.flush();
}

// "host:port" with a port of 1..65535; false otherwise.
bool parseServerAndPort(const QString& text, QString* host, int* port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    *host = text.left(colon);
    bool ok = false;
    *port = text.mid(colon + 1).toInt(&ok);
    const bool plainName = !host->contains(QLatin1Char(':')) &&
                           !host->contains(QRegularExpression(QStringLiteral("\\s")));
    return ok && *port >= 1 && *port <= 65535 && plainName;
}

bool parseArguments(const QStringList& arguments, Arguments* parsed)
{
    bool formatChosen = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            parsed->help = true;
        } else if ((a == QLatin1String("--json") || a == QLatin1String("--count")) &&
                   !formatChosen) {
            parsed->format = a == QLatin1String("--json") ? Format::Json : Format::Count;
            formatChosen = true;
        } else if (a == QLatin1String("--trust") && i + 1 < arguments.size() &&
                   parsed->trustHost.isEmpty()) {
            if (!parseServerAndPort(arguments.at(++i), &parsed->trustHost, &parsed->trustPort))
                return false;
        } else {
            return false;
        }
    }
    // --trust makes no check, so it takes no output format.
    return parsed->trustHost.isEmpty() || !formatChosen;
}

// --trust: fetch the certificate, show it, and store it when the user says
// so. Without a terminal nothing is stored.
int trustServer(const Arguments& arguments, const QString& trustPath, const RunSettings& settings,
                const CheckCliIo& io)
{
    QTextStream& err = *io.err;
    const QString server =
        arguments.trustHost + QLatin1Char(':') + QString::number(arguments.trustPort);
    const CertificateProbeResult probe = probeCertificate(arguments.trustHost, arguments.trustPort,
                                                          int(settings.serverTimeout.count()));
    if (probe.verified) {
        err << terminalSafe(QStringLiteral("The system's trusted certificates vouch for ") +
                            server + QStringLiteral("; nothing to store."))
            << Qt::endl;
        return 0;
    }
    if (!probe.unverified) {
        err << terminalSafe(QStringLiteral("quorvamel-check: ") + server + QStringLiteral(": ") +
                            probe.error)
            << Qt::endl;
        return 1;
    }
    err << terminalSafeLines(CertificateTrust::describe(*probe.unverified)) << Qt::endl;
    const QString question =
        terminalSafe(QStringLiteral("Trust this certificate for ") + server + QLatin1Char('?'));
    if (!io.askYesNo || !io.askYesNo(question))
        return 1;
    CertificateTrust trust(trustPath, nullptr);
    QString error;
    if (!trust.trust(*probe.unverified, &error)) {
        err << terminalSafe(QStringLiteral("quorvamel-check: not stored: ") + error) << Qt::endl;
        return 1;
    }
    err << "Stored." << Qt::endl;
    return 0;
}

// One line on the terminal that says how far the check has come, drawn
// over itself and erased before any other line and at the end. Never
// written into a pipe or a file.
class ProgressLine
{
public:
    ProgressLine(QTextStream& err, bool terminal) : m_err(err), m_terminal(terminal) {}

    void show(const CheckProgress& progress)
    {
        if (!m_terminal)
            return;
        m_err << QStringLiteral("\r\x1b[KChecking account %1 of %2: message %3 of %4")
                     .arg(progress.accountIndex)
                     .arg(progress.accountCount)
                     .arg(progress.messageIndex)
                     .arg(progress.messageCount);
        m_err.flush();
        m_shown = true;
    }
    void erase()
    {
        if (!m_shown)
            return;
        m_err << "\r\x1b[K";
        m_err.flush();
        m_shown = false;
    }

private:
    QTextStream& m_err;
    bool m_terminal;
    bool m_shown = false;
};

} // namespace

QString dataFolderOf(const QString& homeFolder)
{
    return homeFolder + QStringLiteral("/Application Data/Quorvamel");
}

int runCheckCli(const QStringList& arguments, const QString& homeFolder, const CheckCliIo& io)
{
    QTextStream& err = *io.err;
    Arguments parsed;
    const bool signInRequested = isSignInRequest(arguments);
    if (!signInRequested && !parseArguments(arguments, &parsed)) {
        err << usageText << signInUsageText;
        err.flush();
        return 2;
    }
    if (parsed.help) {
        *io.out << usageText << signInUsageText;
        io.out->flush();
        return 0;
    }

    const QString dataFolder = dataFolderOf(homeFolder);
    const QString settingsPath = dataFolder + QLatin1Char('/') + SettingsFileName;
    const QString usersPath = dataFolder + QLatin1Char('/') + UsersFileName;
    const QString trustPath = dataFolder + QLatin1Char('/') + TrustedCertificates::FileName;
    // Anything but a regular file in a data file's place (a FIFO would
    // block the open for ever) is refused before anything is opened.
    for (const QString& path : {settingsPath, usersPath, trustPath}) {
        if (pathKind(path) == PathKind::Other) {
            err << terminalSafe(programTitle() + QStringLiteral(" Unable To Run: ") +
                                dataFileStep(path))
                << Qt::endl;
            return 2;
        }
    }
    SettingsRecord record;
    QString error;
    if (!readSettingsFile(settingsPath, record, &error)) {
        err << terminalSafe(programTitle() + QStringLiteral(" Unable To Run: ") +
                            dataFileStep(settingsPath))
            << Qt::endl;
        return 2;
    }
    RunSettings settings = RunSettings::fromRecord(record, std::nullopt, FontFacts{});
    const QString runPassword = settings.runPassword.trimmed();
    if (!runPassword.isEmpty()) {
        QString typed;
        if (!io.readPassword || !io.readPassword(&typed)) {
            err << "quorvamel-check: a run password is set; it can only be entered on a terminal"
                << Qt::endl;
            return 2;
        }
        if (typed != runPassword) {
            err << "quorvamel-check: wrong password" << Qt::endl;
            return 2;
        }
    }
    if (signInRequested) {
        SecretServiceStore secretService;
        return runSignIn(arguments, dataFolder, io, &secretService);
    }
    if (!parsed.trustHost.isEmpty())
        return trustServer(parsed, trustPath, settings, io);

    // Read only: a missing users file is an empty list, never created here.
    AccountListModel accounts;
    if (QFileInfo::exists(usersPath) && !loadAccountList(accounts, usersPath, &error)) {
        err << terminalSafe(programTitle() + QStringLiteral(" Unable To Run: ") + usersPath +
                            QStringLiteral(": ") + error)
            << Qt::endl;
        return 2;
    }

    MailListModel mails;
    TerminalPrompter prompter(io);
    NetworkInformationConnectivity connectivity;
    SteadyTickSource ticks;
    RunCoordinator runs(settings, accounts, mails, prompter, connectivity, ticks);
    // Without a prompter it never asks: it only accepts what --trust stored.
    CertificateTrust trust(trustPath, nullptr);
    runs.setCertificateTrust(&trust);
    // Log lines quote the server (greetings, error replies): nothing in them
    // may steer the terminal. The whole log keeps its line breaks.
    ProgressLine progress(err,
                          io.errIsTerminal ? io.errIsTerminal() : ::isatty(STDERR_FILENO) == 1);
    QObject::connect(&runs.log(), &RunLog::replaced, &runs, [&](const QString& text) {
        progress.erase();
        err << terminalSafeLines(text) << Qt::endl;
    });
    QObject::connect(&runs.log(), &RunLog::appended, &runs, [&](const QString& text) {
        progress.erase();
        err << terminalSafe(text) << Qt::endl;
    });
    QObject::connect(&runs, &RunCoordinator::checkProgress, &runs,
                     [&](const CheckProgress& now) { progress.show(now); });
    QObject::connect(&runs, &RunCoordinator::checkProgressEnded, &runs, [&] { progress.erase(); });
    // Headers fetched by an earlier check (of either program), by unique id.
    HeaderCacheKeeper headerCache(runs, dataFolder, [&](const QString& note) {
        progress.erase();
        err << terminalSafe(QStringLiteral("quorvamel-check: ") + note) << Qt::endl;
    });
    // How each account signs in: a password command, the Secret Service.
    SignInKeeper signIn(runs, dataFolder, [&](const QString& note) {
        progress.erase();
        err << terminalSafe(QStringLiteral("quorvamel-check: ") + note) << Qt::endl;
    });
    bool completed = false;
    QObject::connect(&runs, &RunCoordinator::checkRunCompleted, &runs, [&] { completed = true; });
    QObject::connect(
        &runs, &RunCoordinator::runEnded, QCoreApplication::instance(),
        [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    QTimer::singleShot(0, &runs, [&] { runs.startCheck(); });
    QCoreApplication::exec();
    printRows(mails, parsed.format, *io.out);
    return completed ? 0 : 1;
}
