#pragma once

// Whether the computer is on line, and how.
struct OnlineState
{
    bool online = true;
    bool byModem = false; // a dial-up (modem) connection, up or not
};

// The system's view of whether the computer is on line, and its dial-up.
class Connectivity
{
public:
    virtual ~Connectivity() = default;
    virtual OnlineState onlineState() = 0;
    // Offers the system's dial-up connection; the outcome is not reported.
    virtual void dialUp() = 0;
};

// Reachability as the network-information backend reports it: Disconnected
// is off line, anything else (Unknown included) on line. Without a backend
// the computer always counts as on line. There is no dial-up to start.
class NetworkInformationConnectivity : public Connectivity
{
public:
    NetworkInformationConnectivity();
    OnlineState onlineState() override;
    void dialUp() override {}
};

// Always on line; for programs and tests that must not depend on the host.
class AlwaysOnlineConnectivity : public Connectivity
{
public:
    OnlineState onlineState() override { return {}; }
    void dialUp() override {}
};
