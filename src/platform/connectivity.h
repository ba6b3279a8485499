#pragma once

#include <memory>

// The system's view of whether the computer is on line, and its dial-up.
class Connectivity
{
public:
    // Bit of the flags word that marks a modem (dial-up) connection.
    static constexpr int ModemConnection = 1;

    virtual ~Connectivity() = default;
    // True when on line; flags receives the connection-type bits.
    virtual bool InternetGetConnectedState(int* flags) = 0;
    // Offers the system's dial-up connection; the outcome is not reported.
    virtual void InternetAutodial() = 0;
};

// Reachability as the network-information backend reports it: Disconnected
// is off line, anything else (Unknown included) on line. Without a backend
// the computer always counts as on line. There is no dial-up to start.
class NetworkInformationConnectivity : public Connectivity
{
public:
    NetworkInformationConnectivity();
    bool InternetGetConnectedState(int* flags) override;
    void InternetAutodial() override {}
};

// Always on line; for programs and tests that must not depend on the host.
class AlwaysOnlineConnectivity : public Connectivity
{
public:
    bool InternetGetConnectedState(int* flags) override
    {
        if (flags)
            *flags = 0;
        return true;
    }
    void InternetAutodial() override {}
};
