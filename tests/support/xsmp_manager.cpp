// A minimal X session manager for tests: it listens for XSMP clients, prints
// the value for SESSION_MANAGER on its first line, and then reports on
// standard output what happens while it drives the first client:
//   registered            the client registered (a plain SaveYourself follows:
//                         local, no shutdown, as after any registration)
//   done 0|1              the client finished a SaveYourself
// Commands on standard input, one a line:
//   checkpoint            SaveYourself while the session goes on
//   shutdown              SaveYourself for the end of the session
//   die                   the session ends: Die
// It ends when the client closes its connection ("closed") or on end of input.
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

SmsConn client = nullptr;
bool clientGone = false;

void say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

Status registerClient(SmsConn conn, SmPointer, char* previousId)
{
    char* id = previousId ? previousId : SmsGenerateClientID(conn);
    std::string fallback = "1test000000000000000000000000000000001";
    if (!SmsRegisterClientReply(conn, id ? id : fallback.data()))
        return 0;
    say("registered");
    SmsSaveYourself(conn, SmSaveLocal, False, SmInteractStyleNone, False);
    return 1;
}

void interactRequest(SmsConn conn, SmPointer, int)
{
    SmsInteract(conn);
}

void interactDone(SmsConn, SmPointer, Bool) {}
void saveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}

void saveYourselfPhase2Request(SmsConn conn, SmPointer)
{
    SmsSaveYourselfPhase2(conn);
}

void saveYourselfDone(SmsConn, SmPointer, Bool success)
{
    say(success ? "done 1" : "done 0");
}

void closeConnection(SmsConn conn, SmPointer, int count, char** reasons)
{
    SmFreeReasons(count, reasons);
    IceConn ice = SmsGetIceConnection(conn);
    SmsCleanUp(conn);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    clientGone = true;
}

void setProperties(SmsConn, SmPointer, int count, SmProp** props)
{
    for (int i = 0; i < count; ++i)
        SmFreeProperty(props[i]);
    std::free(props);
}

void deleteProperties(SmsConn, SmPointer, int count, char** names)
{
    for (int i = 0; i < count; ++i)
        std::free(names[i]);
    std::free(names);
}

void getProperties(SmsConn conn, SmPointer)
{
    SmsReturnProperties(conn, 0, nullptr);
}

Status newClient(SmsConn conn, SmPointer, unsigned long* mask, SmsCallbacks* callbacks, char**)
{
    client = conn;
    std::memset(callbacks, 0, sizeof *callbacks);
    callbacks->register_client.callback = registerClient;
    callbacks->interact_request.callback = interactRequest;
    callbacks->interact_done.callback = interactDone;
    callbacks->save_yourself_request.callback = saveYourselfRequest;
    callbacks->save_yourself_phase2_request.callback = saveYourselfPhase2Request;
    callbacks->save_yourself_done.callback = saveYourselfDone;
    callbacks->close_connection.callback = closeConnection;
    callbacks->set_properties.callback = setProperties;
    callbacks->delete_properties.callback = deleteProperties;
    callbacks->get_properties.callback = getProperties;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask |
            SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask |
            SmsDeletePropertiesProcMask | SmsGetPropertiesProcMask;
    return 1;
}

// Any local client may connect: the test runs its own.
Bool allowHost(char*)
{
    return True;
}

} // namespace

int main()
{
    char error[256] = {};
    if (!SmsInitialize("quorvamel-test", "1.0", newClient, nullptr, allowHost, sizeof error,
                       error)) {
        std::fprintf(stderr, "SmsInitialize: %s\n", error);
        return 2;
    }
    int listenCount = 0;
    IceListenObj* listeners = nullptr;
    if (!IceListenForConnections(&listenCount, &listeners, sizeof error, error)) {
        std::fprintf(stderr, "IceListenForConnections: %s\n", error);
        return 2;
    }
    for (int i = 0; i < listenCount; ++i)
        IceSetHostBasedAuthProc(listeners[i], allowHost);
    char* ids = IceComposeNetworkIdList(listenCount, listeners);
    say(ids);

    IceConn connection = nullptr;
    std::string input;
    while (!clientGone) {
        std::vector<pollfd> fds;
        fds.push_back({0, POLLIN, 0});
        for (int i = 0; i < listenCount; ++i)
            fds.push_back({IceGetListenConnectionNumber(listeners[i]), POLLIN, 0});
        if (connection)
            fds.push_back({IceConnectionNumber(connection), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0)
            return 2;
        if (fds[0].revents) {
            char buffer[256];
            const ssize_t count = ::read(0, buffer, sizeof buffer);
            if (count <= 0)
                return 0;
            input.append(buffer, size_t(count));
            for (size_t end; (end = input.find('\n')) != std::string::npos;) {
                const std::string command = input.substr(0, end);
                input.erase(0, end + 1);
                if (command == "checkpoint" && client)
                    SmsSaveYourself(client, SmSaveBoth, False, SmInteractStyleNone, False);
                else if (command == "shutdown" && client)
                    SmsSaveYourself(client, SmSaveBoth, True, SmInteractStyleAny, False);
                else if (command == "die" && client)
                    SmsDie(client);
            }
        }
        for (int i = 0; i < listenCount; ++i) {
            if (!fds[size_t(i) + 1].revents || connection)
                continue;
            IceAcceptStatus status;
            connection = IceAcceptConnection(listeners[i], &status);
            if (!connection)
                continue;
            IceConnectStatus state;
            while ((state = IceConnectionStatus(connection)) == IceConnectPending)
                IceProcessMessages(connection, nullptr, nullptr);
            if (state != IceConnectAccepted) {
                IceCloseConnection(connection);
                connection = nullptr;
            }
        }
        if (connection && fds.back().revents && fds.back().fd == IceConnectionNumber(connection)) {
            if (IceProcessMessages(connection, nullptr, nullptr) == IceProcessMessagesIOError) {
                clientGone = true;
            }
        }
    }
    say("closed");
    return 0;
}
