#pragma once

// A small token introspection service for Dovecot's oauth2 passdb, run in
// the test's own thread: Dovecot POSTs "token=..." and learns whether the
// token is known and whose it is. Answering needs the event loop to run,
// so clients of the server under test must wait through it.
#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

// {"active": true, "username": owner} for a known token, else
// {"active": false}.
class TokenIntrospection : public QObject
{
public:
    explicit TokenIntrospection(QHash<QByteArray, QByteArray> owners) : m_owners(std::move(owners))
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QString url() const
    {
        return QStringLiteral("http://127.0.0.1:%1/introspect").arg(m_server.serverPort());
    }
    int requests() const { return m_requests; }

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        qsizetype length = 0;
        for (const QByteArray& line : buffer.left(headerEnd).split('\n'))
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        const QUrlQuery form(QString::fromUtf8(buffer.mid(headerEnd + 4, length)));
        const QByteArray token =
            form.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded).toUtf8();
        ++m_requests;
        const QByteArray owner = m_owners.value(token);
        const QByteArray body = owner.isEmpty()
                                    ? QByteArray(R"({"active": false})")
                                    : R"({"active": true, "username": ")" + owner + "\"}";
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
        m_buffers.remove(socket);
    }

    QTcpServer m_server;
    QHash<QByteArray, QByteArray> m_owners;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    int m_requests = 0;
};
