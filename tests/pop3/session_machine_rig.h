#pragma once

// The session state machine fed byte arrivals directly, without a socket:
// a host that records what the session does, and a conversation that plays
// a server's turns against it.
#include "pop3/pop3_session.h"

#include <QTest>

Q_DECLARE_METATYPE(SessionEnd)
Q_DECLARE_METATYPE(SessionReport)

inline char* toString(const SessionReport& r)
{
    return QTest::toString(QStringLiteral("{note %1, reply \"%2\", total %3}")
                               .arg(int(r.note))
                               .arg(r.reply)
                               .arg(r.total));
}

inline SessionReport reply(const QString& text)
{
    return {SessionNote::ServerReply, text};
}

inline SessionReport noted(SessionNote note, const QString& text = {})
{
    return {note, text};
}

inline const SessionReport checking = noted(SessionNote::CheckingForMail);
inline const SessionReport greeted =
    reply(QStringLiteral("+OK ready <1896.697170952@dbc.mtview.ca.us>"));

// One server turn: the command the client must send, then the arrivals of
// the reply to it.
struct Turn
{
    QString command;
    QList<QByteArray> arrivals;
};

class FakeHost : public SessionHost
{
public:
    SessionOptions options;
    // TLS from the first byte (port 995): no STLS. Plain connections set false.
    bool encrypted = true;
    QStringList sent;
    QList<QByteArray> sentBytes;
    QList<SessionReport> reports;
    QList<QPair<QByteArray, qint32>> extracted;
    QList<SessionEnd> ends;
    int noMailRows = 0;
    int clears = 0;
    int closes = 0;
    int tlsStarts = 0;
    int replies = 0;

    SessionOptions sessionOptions() const override { return options; }
    void sendCommand(const QByteArray& line) override
    {
        sentBytes.append(line);
        sent.append(QString::fromLatin1(line));
    }
    void report(const SessionReport& r) override { reports.append(r); }
    void replyTaken() override { ++replies; }
    void enableWatchdog() override {}
    bool connectionEncrypted() const override { return encrypted; }
    void startTls() override { ++tlsStarts; }
    void extractHeaders(const QByteArray& message, qint32 n) override
    {
        extracted.append({message, n});
    }
    void addNoMailRow() override { ++noMailRows; }
    void clearMailList() override { ++clears; }
    bool deleteAccepted() override { return true; }
    void endSession(SessionEnd why) override
    {
        ++closes;
        ends.append(why);
    }
};

// Plays a conversation: the greeting's arrivals, then for each turn checks
// the client's next command and feeds the reply. Stops when the client
// sends nothing more or closes.
struct Conversation
{
    SessionContext ctx;
    FakeHost host;
    Pop3Session session{ctx, host};
    QStringList unexpected;

    Conversation()
    {
        ctx.userName = QStringLiteral("bob");
        ctx.password = QStringLiteral("pw");
        ctx.state = SessionState::AwaitGreeting;
        session.begin();
    }

    void feed(const QList<QByteArray>& arrivals)
    {
        for (const QByteArray& a : arrivals)
            session.dataArrival(a);
    }

    void play(const QList<QByteArray>& greeting, const QList<Turn>& turns)
    {
        feed(greeting);
        int seen = 0;
        // CAPA follows every greeting; unless the turns answer it, it gets
        // the answer of a server from before CAPA, as the scripted peer gives.
        if (host.closes == 0 && host.sent.value(0) == QLatin1String("CAPA") &&
            (turns.isEmpty() || turns.first().command != QLatin1String("CAPA"))) {
            feed({"-ERR unknown command\r\n"});
            seen = 1;
        }
        for (const Turn& turn : turns) {
            if (host.closes > 0 || host.sent.size() <= seen) {
                unexpected.append(QStringLiteral("no command, expected ") + turn.command);
                return;
            }
            const QString command = host.sent.at(seen++);
            if (command != turn.command) {
                unexpected.append(command + QStringLiteral(" instead of ") + turn.command);
                return;
            }
            feed(turn.arrivals);
            // The next command only after the whole reply: nothing may be
            // sent before the last arrival of a reply.
        }
        if (host.sent.size() > seen)
            unexpected.append(QStringLiteral("extra command ") + host.sent.at(seen));
    }
};

inline QByteArray topReply(int i)
{
    return QStringLiteral("+OK\r\nFrom: a%1@x\r\nSubject: s%1\r\nDate: d%1\r\n\r\nbody\r\n.\r\n")
        .arg(i)
        .toLatin1();
}

inline QList<QByteArray> bytewise(const QByteArray& bytes)
{
    QList<QByteArray> out;
    for (char c : bytes)
        out.append(QByteArray(1, c));
    return out;
}

inline const QByteArray greeting("+OK ready <1896.697170952@dbc.mtview.ca.us>\r\n");
