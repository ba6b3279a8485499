#pragma once

#include "platform/account_sign_in.h"

#include <QString>
#include <QtGlobal>

// Where the one POP3 session in progress stands.
enum class SessionState {
    AwaitGreeting,
    SentUser,
    SentPass,
    SentStat,
    FetchingHeader,
    SentQuit,
    SentDele,
    DeleteAborted,
    SentApop,
    SentCapa,    // CAPA sent after the greeting, or again after STLS
    SentStls,    // STLS sent
    StartingTls, // STLS accepted; the TLS handshake is under way
    SentUtf8,    // UTF8 sent
    SentUidl,    // UIDL sent; its status line is awaited
    ReadingUidl, // the lines of the UIDL listing
    SentAuth,    // AUTH sent; its SASL exchange runs until "+OK" or "-ERR"
};

// The variables of the session in progress. The run fills in the account
// fields before it connects; the session only reads them.
struct SessionContext
{
    QString displayName;
    QString userName;
    QString password; // or the OAuth2 access token
    SignInMethod signInMethod = SignInMethod::Password;
    QString serverName;
    QString portText;
    bool connected = false;        // the socket reported the connection
    bool connectionClosed = false; // closed, failed or ended
    qint64 lastArrivalTick = 0;    // tick count of the latest arrival
    SessionState state = SessionState::AwaitGreeting;
    qint32 messageCount = 0;
    qint32 messageNumber = 0;

    void clearAccount()
    {
        displayName.clear();
        userName.clear();
        password.clear();
        signInMethod = SignInMethod::Password;
        serverName.clear();
        portText.clear();
    }
};
