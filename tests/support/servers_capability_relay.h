#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>

class QTcpServer;

// A relay on 127.0.0.1 in front of a real POP3 server that hides some of
// its capabilities: the lines naming them are taken out of each reply to
// CAPA, so one server plays both one that offers an extension and one that
// does not. It counts the client's commands by their first word and how
// many fetches (TOP, RETR) were at most awaiting their replies at once.
//
//   CapabilityRelay relay(dovecot.plainPort());
//   relay.setHidden({"STLS", "PIPELINING"});
//   QVERIFY(relay.listen());
//   ... connect the client to relay.port() ...
class CapabilityRelay : public QObject
{
public:
    explicit CapabilityRelay(quint16 serverPort, QObject* parent = nullptr);
    ~CapabilityRelay() override;

    // Capability names in capitals; takes effect at the next connection.
    void setHidden(const QList<QByteArray>& names) { m_hidden = names; }
    bool listen();
    quint16 port() const;

    int commandCount(const QByteArray& word) const { return m_commands.value(word); }
    int mostFetchesInFlight() const { return m_mostInFlight; }
    // Forgets the counts, for the next session.
    void resetCounts();

private:
    friend class RelayedConnection;
    void clientCommand(const QByteArray& word);
    void fetchAnswered() { m_inFlight = qMax(0, m_inFlight - 1); }

    quint16 m_serverPort;
    QTcpServer* m_server = nullptr;
    QList<QByteArray> m_hidden;
    QHash<QByteArray, int> m_commands;
    int m_inFlight = 0;
    int m_mostInFlight = 0;
};
