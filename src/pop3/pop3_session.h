#pragma once

#include "pop3/fetch_queue.h"
#include "pop3/sasl_oauth.h"
#include "pop3/sasl_scram.h"
#include "pop3/session_context.h"
#include "pop3/session_reader.h"
#include "pop3/uid_listing.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

// The settings and run flags a session reads at the moment it needs them,
// so a change takes effect in a session already running.
struct SessionOptions
{
    bool useRetr = false;
    bool useApop = false;
    QString apopSecret;
    bool deleteEnabled = false;
    bool deleteRunActive = false;
    bool cancelRequested = false;
    // The run keeps header blocks by unique id: a server offering UIDL is
    // asked for its ids and only unknown messages are fetched.
    bool useHeaderCache = false;
};

// Why a session ended.
enum class SessionEnd {
    QuitAnswered,     // the server acknowledged QUIT
    ErrorReplyLogged, // an -ERR reply ended it; the log already shows it
    BrokenReply,      // bytes that are no reply, or a reply out of its form
    LineTooLong,      // a reply line over SessionReader::MaxLineBytes
    HeaderTooLarge,   // a header block over SessionReader::MaxHeaderBytes
    ImplausibleCount, // a STAT count its own octet count cannot hold
    TlsRefused,       // -ERR to STLS; the log already shows it
    ReplyTooLarge,    // a TOP or RETR reply larger than the whole mailbox
    SignInAbandoned,  // an AUTH sign-in could not be made or was given up; the log shows why
};

// What a session has to tell the run, for its log and status line.
enum class SessionNote {
    ServerReply,        // a reply shown as it came: greeting, log-on accepted, QUIT answered, -ERR
    UserRefused,        // -ERR to USER
    PasswordRefused,    // -ERR to PASS
    StlsRefused,        // -ERR to STLS
    CheckingForMail,    // STAT answered in a check
    CheckingForDeletes, // STAT answered in a delete session
    ListingCapped,      // more messages than MaxMessagesPerAccount
    TopRefused,         // -ERR to TOP
    RetrRefused,        // -ERR to RETR
    ApopNoSecret,       // APOP asked for without a shared secret
    ApopNoTimestamp,    // APOP asked for, but the greeting has no timestamp
    AuthRefused,        // -ERR to AUTH
    AuthNeedsTls,       // an AUTH account on a connection that is not encrypted
    AuthCapaRefused,    // -ERR to CAPA: the server's mechanisms are unknown
    AuthNotOffered,     // detail: the mechanism wanted; reply: the mechanisms CAPA listed
    AuthFailed,         // the exchange was given up, or the token refused; detail says why
    ScramUnverified,    // "+OK" before the server proved that it knows the password
};

struct SessionReport
{
    SessionNote note = SessionNote::ServerReply;
    QString reply;    // the server's reply without its CR LF, whole; empty where none
    qint32 total = 0; // ListingCapped: the messages the mailbox holds
    QString detail{}; // the sign-in notes' own words; never a password or token

    bool operator==(const SessionReport&) const = default;
};

// What the session needs of the run around it.
class SessionHost
{
public:
    virtual ~SessionHost() = default;
    virtual SessionOptions sessionOptions() const = 0;
    // Sends one command line; CR LF is added here.
    virtual void sendCommand(const QByteArray& line) = 0;
    // Something the log and the status line show.
    virtual void report(const SessionReport& report) = 0;
    // A whole reply was read: the oldest command sent has its answer.
    virtual void replyTaken() {}
    virtual void enableWatchdog() = 0;
    // True when the connection is TLS already (from its first byte).
    virtual bool connectionEncrypted() const = 0;
    // Upgrades the connection (STLS); the host calls tlsStarted() once done.
    virtual void startTls() = 0;
    // A complete message text (header block first) of message number n.
    virtual void extractHeaders(const QByteArray& message, qint32 messageNumber) = 0;
    // The "(no mail)" row of the account, counted by the run.
    virtual void addNoMailRow() = 0;
    virtual void clearMailList() = 0;
    // The header block kept from an earlier fetch of the message with this
    // unique id in the account's mailbox.
    virtual std::optional<QByteArray> cachedHeaderBlock(const QByteArray& uid)
    {
        Q_UNUSED(uid);
        return std::nullopt;
    }
    // A fetched header block, kept for the next check.
    virtual void storeHeaderBlock(const QByteArray& uid, const QByteArray& block)
    {
        Q_UNUSED(uid);
        Q_UNUSED(block);
    }
    // Every message was listed and handed over: blocks of other ids are
    // no longer needed.
    virtual void keepOnlyHeaderBlocks(const QSet<QByteArray>& uids) { Q_UNUSED(uids); }
    // The server accepted a DELE. True when the account's marked rows are
    // all matched.
    virtual bool deleteAccepted() = 0;
    // Ends the session; the last thing a handler does.
    virtual void endSession(SessionEnd why) = 0;
};

// The client side of one POP3 conversation, driven by the bytes that
// arrive. It keeps its state in the SessionContext and acts through the
// host. It asks CAPA first: on a plain connection STLS is then a must
// before any log-on; UTF8 makes commands travel as UTF-8. PIPELINING
// lets a check keep several fetches in flight (a delete run compares each
// header before its DELE and fetches one at a time); UIDL lets a check
// take the header blocks of messages it fetched before from the run.
// Either way the run gets the same blocks in the same order. An account
// that signs in with SCRAM-SHA-256 or OAuth2 uses AUTH with the mechanism
// CAPA lists, only over TLS, and never falls back to USER/PASS.
class Pop3Session
{
public:
    // More messages than this on one account are not listed: a server that
    // claims billions would otherwise hold the run for hours.
    static constexpr qint32 MaxMessagesPerAccount = 1000000;

    Pop3Session(SessionContext& context, SessionHost& host) : m_ctx(context), m_host(host) {}

    // A new connection: nothing of an earlier one is carried over.
    void begin();
    // Bytes of one arrival; handles every reply they complete.
    void dataArrival(const QByteArray& bytes);
    // The STLS upgrade is done: capabilities are asked again over TLS.
    void tlsStarted();
    // True once the session has handed over to endSession().
    bool hasEnded() const { return m_ended; }
    bool utf8Accepted() const { return m_utf8; }

    // Text of server bytes: UTF-8 when valid, else Windows-1252.
    static QString serverText(const QByteArray& bytes);

private:
    struct Capabilities
    {
        bool pipelining = false;
        bool uidl = false;
        bool answered = false;            // CAPA listed them (not "-ERR")
        QString refusal;                  // the "-ERR" to CAPA, when it came
        QList<QByteArray> saslMechanisms; // from the "SASL" line, in capitals
    };

    // The AUTH exchange in progress (pop3_session_auth.cpp).
    struct AuthExchange
    {
        ScramClient scram;
        OAuthMechanism oauth = OAuthMechanism::OAuthBearer;
        // The initial response, when it waits for the server's first "+".
        std::optional<QByteArray> afterContinuation;
        // "*" or the OAuth2 acknowledgement was sent and the log says why:
        // whatever comes next ends the session.
        bool abandoning = false;
    };

    std::optional<SessionReader::Reply> nextReply();
    void handleReply(const SessionReader::Reply& reply);
    void handlePositive(const QByteArray& line);
    void handleErrorReply(const QByteArray& line);
    void onGreeting(const QString& greeting);
    void onCapabilities(const QByteArray& list);
    void logOn();
    // AUTH, for the sign-in methods other than a password (pop3_session_auth.cpp).
    void onCapaRefused(const QByteArray& line);
    void signInWithAuth();
    bool openAuthExchange(QByteArray* mechanism, QByteArray* response);
    void onAuthPositive(const QByteArray& line);
    void onAuthError(const QByteArray& line);
    void abandonAuth(const QString& why, const QByteArray& lastLine);
    void refuseSignIn(const SessionReport& report);
    void onStat(const QString& replyText, const QByteArray& line);
    void onFetchReply(const SessionReader::Reply& reply);
    void onDeleAccepted();
    // The fetch and delivery of the messages (pop3_session_fetch.cpp).
    void startFetching(std::vector<std::optional<QByteArray>> cached = {});
    void onUidlListingLine(const QByteArray& line);
    void onUidlListingEnd();
    void advanceFetches();
    bool deliver(qint32 number, const QByteArray& block, bool fetched);
    void fillWindow();
    void quitWithFetchesInFlight();
    void send(SessionState next, const QString& command);
    QByteArray encoded(const QString& command) const;
    void note(SessionNote what, const QString& reply = {}) { m_host.report({what, reply}); }
    void end(SessionEnd why);

    SessionContext& m_ctx;
    SessionHost& m_host;
    SessionReader m_reader;
    QString m_greeting; // for the APOP timestamp, which may be asked for after CAPA
    // The most bytes one TOP or RETR reply may take: twice the mailbox size
    // STAT gave (dot-stuffing at worst doubles it) and a margin; -1 when
    // STAT gave none. A reply streaming on past it is a lie, however fast.
    qint64 m_replyByteLimit = -1;
    qint32 m_statCount = 0; // the count STAT gave, before any cap
    FetchQueue m_fetches;
    UidListing m_uids;
    Capabilities m_capabilities;
    AuthExchange m_auth;
    bool m_ended = false;
    bool m_utf8 = false;
};
