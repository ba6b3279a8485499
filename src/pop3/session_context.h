#pragma once

#include <QString>
#include <QtGlobal>

// Where the one POP3 session in progress stands.
enum SessionState : qint16 {
    AwaitGreeting = 0,
    SentUser = 1,
    SentPass = 2,
    SentStat = 3,
    FetchingHeader = 4,
    SentQuit = 5,
    SentDele = 6,
    DeleteAborted = 7,
    SentApop = 8,
    SentCapa = 9,     // CAPA sent after the greeting, or again after STLS
    SentStls = 10,    // STLS sent
    StartingTls = 11, // STLS accepted; the TLS handshake is under way
    SentUtf8 = 12,    // UTF8 sent
};

// The variables of the session in progress. The run fills in the account
// fields before it connects; the session only reads them.
struct SessionContext
{
    QString DisplayName;
    QString UserName;
    QString Password;
    QString ServerName;
    QString PortText;
    qint16 Connected = 0;        // -1 once the socket reported the connection
    qint16 ConnectionClosed = 0; // -1 once closed, failed or ended
    qint64 LastArrivalTick = 0;  // tick count of the latest arrival
    ::SessionState SessionState = AwaitGreeting;
    qint32 MessageCount = 0;
    qint32 MessageNumber = 0;

    void clearAccount()
    {
        DisplayName.clear();
        UserName.clear();
        Password.clear();
        ServerName.clear();
        PortText.clear();
    }
};
