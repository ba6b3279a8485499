#pragma once

#include "platform/secret_store.h"

#include <chrono>

// The desktop's Secret Service through libsecret: one item per account and
// kind, under the schema SecretServiceStore::SchemaName with the attributes
// server, port, user and kind. Each call runs on a worker thread while the
// caller's event loop keeps running; a service that does not answer within
// the time-out counts as none (the worker is left to end on its own).
class SecretServiceStore : public SecretStore
{
public:
    static constexpr const char* SchemaName = "org.quorvamel.Account";
    static constexpr std::chrono::milliseconds defaultTimeout{30'000};

    explicit SecretServiceStore(std::chrono::milliseconds timeout = defaultTimeout)
        : m_timeout(timeout)
    {
    }

    SecretLookup lookup(const SecretKey& key) override;
    bool store(const SecretKey& key, const QString& label, const QString& secret,
               QString* error = nullptr) override;
    bool remove(const SecretKey& key, QString* error = nullptr) override;

private:
    std::chrono::milliseconds m_timeout;
};
