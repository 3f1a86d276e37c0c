// GLib names a structure field "signals", which Qt defines as a word of its own: libsecret's
// headers come before any of Qt's.
#include <libsecret/secret.h>

#include "keyring.h"

#include <memory>

namespace folioset {

namespace {

// Our own schema: the entries are told apart by the program and by which password they hold,
// so `secret-tool lookup edition folioset2 password open` finds one.
const SecretSchema *passwordSchema()
{
    static const SecretSchema schema = {"com.quillmark.Folioset.Password",
                                        SECRET_SCHEMA_NONE,
                                        {
                                            {"edition", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {"password", SECRET_SCHEMA_ATTRIBUTE_STRING},
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

struct Unref
{
    void operator()(GError *error) const { g_error_free(error); }
    void operator()(GHashTable *table) const { g_hash_table_unref(table); }
    void operator()(SecretService *service) const { g_object_unref(service); }
    void operator()(SecretValue *value) const { secret_value_unref(value); }
    void operator()(GList *items) const { g_list_free_full(items, g_object_unref); }
};
template <typename T> using Owned = std::unique_ptr<T, Unref>;

Keyring::Reply unavailable(const QString &reason)
{
    Keyring::Reply reply;
    reply.reason = reason;
    return reply;
}

Keyring::Reply failure(GError *raw, const char *fallback)
{
    const Owned<GError> error(raw);
    return unavailable(error ? QString::fromUtf8(error->message) : QString::fromUtf8(fallback));
}

Owned<GHashTable> attributes(const QString &edition, PasswordKind kind)
{
    const QByteArray program = edition.toUtf8();
    const QByteArray which = passwordKindName(kind).toUtf8();
    return Owned<GHashTable>(secret_attributes_build(
        passwordSchema(), "edition", program.constData(), "password", which.constData(), nullptr));
}

class SecretServiceKeyring final : public Keyring
{
public:
    Reply lookup(const QString &edition, PasswordKind kind) override
    {
        GError *error = nullptr;
        const Owned<SecretService> service(
            secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error));
        if (!service)
            return failure(error, "No Secret Service answered");
        const Owned<GHashTable> wanted = attributes(edition, kind);
        // Unlocking may show the desktop's prompt; an entry still locked after it was declined.
        const Owned<GList> items(secret_service_search_sync(
            service.get(), passwordSchema(), wanted.get(),
            SecretSearchFlags(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS), nullptr, &error));
        if (error)
            return failure(error, "");
        Reply reply;
        reply.answered = true;
        if (!items)
            return reply;
        auto *item = static_cast<SecretItem *>(items.get()->data);
        const Owned<SecretValue> value(secret_item_get_locked(item) ? nullptr
                                                                    : secret_item_get_secret(item));
        if (!value)
            return unavailable(QStringLiteral("The keyring stayed locked"));
        reply.secret = QString::fromUtf8(secret_value_get_text(value.get()));
        if (reply.secret.isNull())
            reply.secret = QStringLiteral("");
        return reply;
    }

    Reply store(const QString &edition, PasswordKind kind, const QString &secret) override
    {
        GError *error = nullptr;
        const Owned<GHashTable> entry = attributes(edition, kind);
        if (secret.isEmpty()) {
            secret_password_clearv_sync(passwordSchema(), entry.get(), nullptr, &error);
        } else {
            const QByteArray label =
                (edition + (kind == PasswordKind::Open
                                ? QStringLiteral(": PDF open password")
                                : QStringLiteral(": PDF permissions password")))
                    .toUtf8();
            const QByteArray bytes = secret.toUtf8();
            secret_password_storev_sync(passwordSchema(), entry.get(), SECRET_COLLECTION_DEFAULT,
                                        label.constData(), bytes.constData(), nullptr, &error);
        }
        if (error)
            return failure(error, "");
        Reply reply;
        reply.answered = true;
        return reply;
    }
};

} // namespace

std::shared_ptr<Keyring> secretServiceKeyring()
{
    return std::make_shared<SecretServiceKeyring>();
}

} // namespace folioset
