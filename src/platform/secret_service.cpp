#include "platform/secret_service.h"

#include "platform/wait_with_events.h"

#include <QDeadlineTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

// GLib's headers name struct members "signals", which Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

namespace {

const SecretSchema* accountSchema()
{
    static const SecretSchema schema = {SecretServiceStore::SchemaName,
                                        SECRET_SCHEMA_NONE,
                                        {
                                            {"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {"port", SECRET_SCHEMA_ATTRIBUTE_INTEGER},
                                            {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {"kind", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        },
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

// What a worker found: the answer and, when it failed, why.
struct CallResult
{
    bool serviceRuns = true;
    bool ok = false;
    std::optional<QString> secret;
    QString error;
};

// The attributes as libsecret wants them: UTF-8 strings, the port in
// decimal. Owned by the table.
GHashTable* attributesOf(const SecretKey& key)
{
    GHashTable* table = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free);
    const auto put = [table](const char* name, const QString& value) {
        g_hash_table_insert(table, g_strdup(name), g_strdup(value.toUtf8().constData()));
    };
    put("server", key.server);
    put("port", QString::number(key.port));
    put("user", key.userName);
    put("kind", key.kind == SecretKind::Password ? QStringLiteral("password")
                                                 : QStringLiteral("oauth-tokens"));
    return table;
}

// Fills in the failure of a call. D-Bus and I/O errors mean no Secret
// Service answered; libsecret's own errors come from one that runs.
void takeError(GError* error, CallResult& result)
{
    if (!error)
        return;
    result.ok = false;
    result.serviceRuns = error->domain == SECRET_ERROR;
    result.error = QString::fromUtf8(error->message);
    g_error_free(error);
}

struct Shared
{
    std::atomic<bool> done = false;
    CallResult result;
    GCancellable* cancellable = g_cancellable_new();
    ~Shared() { g_object_unref(cancellable); }
    Shared() = default;
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;
};

// Runs the call on its own thread and waits for it with the event loop
// running, at most the time-out: then the call is canceled and left behind.
CallResult runBounded(const std::function<CallResult(GCancellable*)>& call,
                      std::chrono::milliseconds timeout)
{
    auto shared = std::make_shared<Shared>();
    std::thread([shared, call] {
        shared->result = call(shared->cancellable);
        shared->done = true;
    }).detach();
    const QDeadlineTimer deadline(timeout);
    while (!shared->done && !deadline.hasExpired())
        waitWithEvents(10);
    if (shared->done)
        return shared->result;
    g_cancellable_cancel(shared->cancellable);
    CallResult late;
    late.serviceRuns = false;
    late.error = QStringLiteral("no answer within %1 s").arg(timeout.count() / 1000.0);
    return late;
}

QString noService(const QString& why)
{
    return QStringLiteral("No Secret Service (") + why + QLatin1Char(')');
}

} // namespace

SecretLookup SecretServiceStore::lookup(const SecretKey& key)
{
    const CallResult result = runBounded(
        [key](GCancellable* cancellable) {
            CallResult out;
            GHashTable* attributes = attributesOf(key);
            GError* error = nullptr;
            gchar* secret =
                secret_password_lookupv_sync(accountSchema(), attributes, cancellable, &error);
            g_hash_table_unref(attributes);
            if (error) {
                takeError(error, out);
                return out;
            }
            out.ok = true;
            if (secret) {
                out.secret = QString::fromUtf8(secret);
                secret_password_free(secret);
            }
            return out;
        },
        m_timeout);
    SecretLookup lookup;
    lookup.serviceRuns = result.serviceRuns;
    lookup.found = result.ok && result.secret.has_value();
    lookup.secret = result.secret.value_or(QString());
    if (!result.serviceRuns)
        lookup.error = noService(result.error);
    else if (!result.ok)
        lookup.error = result.error;
    else if (!lookup.found)
        lookup.error = QStringLiteral("nothing stored in the Secret Service");
    return lookup;
}

bool SecretServiceStore::store(const SecretKey& key, const QString& label, const QString& secret,
                               QString* error)
{
    const CallResult result = runBounded(
        [key, label, secret](GCancellable* cancellable) {
            CallResult out;
            GHashTable* attributes = attributesOf(key);
            GError* failure = nullptr;
            out.ok =
                secret_password_storev_sync(accountSchema(), attributes, SECRET_COLLECTION_DEFAULT,
                                            label.toUtf8().constData(), secret.toUtf8().constData(),
                                            cancellable, &failure) != FALSE;
            g_hash_table_unref(attributes);
            takeError(failure, out);
            return out;
        },
        m_timeout);
    if (!result.ok && error)
        *error = result.serviceRuns ? result.error : noService(result.error);
    return result.ok;
}

bool SecretServiceStore::remove(const SecretKey& key, QString* error)
{
    const CallResult result = runBounded(
        [key](GCancellable* cancellable) {
            CallResult out;
            GHashTable* attributes = attributesOf(key);
            GError* failure = nullptr;
            // False without an error: there was nothing to remove.
            secret_password_clearv_sync(accountSchema(), attributes, cancellable, &failure);
            g_hash_table_unref(attributes);
            out.ok = failure == nullptr;
            takeError(failure, out);
            return out;
        },
        m_timeout);
    if (!result.ok && error)
        *error = result.serviceRuns ? result.error : noService(result.error);
    return result.ok;
}
