#include "support/servers_capability_relay.h"

#include <QTcpServer>
#include <QTcpSocket>

// One client's connection and its own connection to the server.
class RelayedConnection : public QObject
{
public:
    RelayedConnection(CapabilityRelay* relay, QTcpSocket* client, quint16 serverPort)
        : QObject(relay), m_relay(relay), m_hidden(relay->m_hidden), m_client(client)
    {
        m_client->setParent(this);
        m_server = new QTcpSocket(this);
        connect(m_client, &QIODevice::readyRead, this, &RelayedConnection::fromClient);
        connect(m_server, &QIODevice::readyRead, this, &RelayedConnection::fromServer);
        connect(m_client, &QAbstractSocket::disconnected, this, [this] { closeBoth(); });
        connect(m_server, &QAbstractSocket::disconnected, this, [this] { closeBoth(); });
        m_server->connectToHost(QHostAddress::LocalHost, serverPort);
    }

private:
    // Whole lines only: a command or reply line is judged once complete.
    static QList<QByteArray> takeLines(QByteArray& buffer)
    {
        QList<QByteArray> lines;
        qsizetype from = 0;
        for (qsizetype lf; (lf = buffer.indexOf('\n', from)) >= 0; from = lf + 1)
            lines.append(buffer.mid(from, lf + 1 - from));
        buffer.remove(0, from);
        return lines;
    }

    void fromClient()
    {
        m_clientBytes += m_client->readAll();
        for (const QByteArray& line : takeLines(m_clientBytes)) {
            const QByteArray word = line.trimmed().split(' ').value(0).toUpper();
            m_relay->clientCommand(word);
            if (word == "CAPA")
                m_inCapa = true;
            if (word == "TOP" || word == "RETR")
                ++m_fetchesSent;
            m_server->write(line);
        }
    }

    void fromServer()
    {
        m_serverBytes += m_server->readAll();
        QByteArray out;
        for (const QByteArray& line : takeLines(m_serverBytes)) {
            if (line == ".\r\n") {
                m_inCapa = false;
                if (m_fetchesSent > 0)
                    m_relay->fetchAnswered();
            } else if (m_inCapa && m_hidden.contains(line.trimmed().split(' ').value(0))) {
                continue;
            }
            out += line;
        }
        m_client->write(out);
    }

    void closeBoth()
    {
        m_client->disconnectFromHost();
        m_server->disconnectFromHost();
    }

    CapabilityRelay* m_relay;
    QList<QByteArray> m_hidden;
    QTcpSocket* m_client;
    QTcpSocket* m_server = nullptr;
    QByteArray m_clientBytes;
    QByteArray m_serverBytes;
    int m_fetchesSent = 0;
    bool m_inCapa = false;
};

CapabilityRelay::CapabilityRelay(quint16 serverPort, QObject* parent)
    : QObject(parent), m_serverPort(serverPort)
{
}

CapabilityRelay::~CapabilityRelay() = default;

bool CapabilityRelay::listen()
{
    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* client = m_server->nextPendingConnection())
            new RelayedConnection(this, client, m_serverPort);
    });
    return m_server->listen(QHostAddress::LocalHost);
}

quint16 CapabilityRelay::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

void CapabilityRelay::resetCounts()
{
    m_commands.clear();
    m_inFlight = 0;
    m_mostInFlight = 0;
}

void CapabilityRelay::clientCommand(const QByteArray& word)
{
    m_commands[word] += 1;
    if (word == "TOP" || word == "RETR")
        m_mostInFlight = qMax(m_mostInFlight, ++m_inFlight);
}
