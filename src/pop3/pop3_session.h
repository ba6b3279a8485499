#pragma once

#include "pop3/session_context.h"
#include "pop3/session_reader.h"

#include <QByteArray>
#include <QString>

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
};

// What the session needs of the run around it.
class SessionHost
{
public:
    virtual ~SessionHost() = default;
    virtual SessionOptions sessionOptions() const = 0;
    // Sends one command; CR LF is added here.
    virtual void sendCommand(const QString& command) = 0;
    // The text goes to the log and the status line.
    virtual void reportLine(const QString& text) = 0;
    virtual void enableWatchdog() = 0;
    // A complete message text (header block first) of message number n.
    virtual void extractHeaders(const QByteArray& message, qint32 messageNumber) = 0;
    // The "(no mail)" row of the account, counted by the run.
    virtual void addNoMailRow() = 0;
    virtual void clearMailList() = 0;
    // The server accepted a DELE: marks the row. True when the account's
    // marked rows are all matched.
    virtual bool deleteAccepted() = 0;
    // Ends the session; the last thing a handler does.
    virtual void closeConnection() = 0;
};

// The client side of one POP3 conversation, driven by the bytes that
// arrive. It keeps its state in the SessionContext and acts through the
// host.
class Pop3Session
{
public:
    Pop3Session(SessionContext& context, SessionHost& host) : m_ctx(context), m_host(host) {}

    // A new connection: nothing of an earlier one is carried over.
    void begin();
    // Bytes of one arrival; handles every reply they complete.
    void dataArrival(const QByteArray& bytes);
    // True once the session has handed over to closeConnection().
    bool hasEnded() const { return m_ended; }

    // Text of server bytes: UTF-8 when valid, else Windows-1252.
    static QString serverText(const QByteArray& bytes);

private:
    void handleReply(const SessionReader::Reply& reply);
    void handlePositive(const QByteArray& line);
    void handleErrorReply(const QByteArray& line);
    void onGreeting(const QString& replyText);
    void onStat(const QString& replyText, const QByteArray& line);
    void onHeaderBlock(const QByteArray& message);
    void onDeleAccepted();
    void fetch(qint32 number);
    void send(::SessionState next, const QString& command);
    void end();

    SessionContext& m_ctx;
    SessionHost& m_host;
    SessionReader m_reader;
    bool m_ended = false;
};
