#pragma once

// The server side of SCRAM-SHA-256 computed from RFC 5802's formulas with
// Qt's own HMAC and PBKDF2, so the client is judged by an implementation
// it shares nothing with. Its defaults are RFC 7677's example (user
// "user", password "pencil").
#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QPasswordDigestor>

inline QByteArray scramHmac(const QByteArray& key, const QByteArray& data)
{
    return QMessageAuthenticationCode::hash(data, key, QCryptographicHash::Sha256);
}

inline QByteArray scramXor(const QByteArray& a, const QByteArray& b)
{
    QByteArray out(a.size(), '\0');
    for (qsizetype i = 0; i < a.size(); ++i)
        out[i] = char(a[i] ^ b[i]);
    return out;
}

// The server side of one exchange; parts of its answers can be spoiled.
struct ReferenceServer
{
    QByteArray password = "pencil";
    QByteArray salt = QByteArray::fromBase64("W22ZaJ0SNY7soEsUEjb6gQ==");
    int iterations = 4096;
    QByteArray serverNonce = "%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0";

    QByteArray clientFirstBare;
    QByteArray serverFirst;
    QByteArray expectedProof;   // what the client must send
    QByteArray serverSignature; // what the server proves itself with

    // Returns server-first for the client's first message (GS2 header kept
    // out of the AuthMessage, as RFC 5802 says).
    QByteArray first(const QByteArray& clientFirst)
    {
        const qsizetype bare = clientFirst.indexOf(",n=");
        clientFirstBare = clientFirst.mid(bare + 1);
        const QByteArray clientNonce = clientFirstBare.mid(clientFirstBare.indexOf(",r=") + 3);
        serverFirst = "r=" + clientNonce + serverNonce + ",s=" + salt.toBase64() +
                      ",i=" + QByteArray::number(iterations);
        return serverFirst;
    }

    void prove(const QByteArray& clientFinalWithoutProof)
    {
        const QByteArray salted = QPasswordDigestor::deriveKeyPbkdf2(
            QCryptographicHash::Sha256, password, salt, iterations, 32);
        const QByteArray clientKey = scramHmac(salted, "Client Key");
        const QByteArray storedKey =
            QCryptographicHash::hash(clientKey, QCryptographicHash::Sha256);
        const QByteArray authMessage =
            clientFirstBare + ',' + serverFirst + ',' + clientFinalWithoutProof;
        expectedProof = scramXor(clientKey, scramHmac(storedKey, authMessage)).toBase64();
        serverSignature = scramHmac(scramHmac(salted, "Server Key"), authMessage).toBase64();
    }
};
