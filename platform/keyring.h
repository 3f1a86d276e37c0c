#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace folioset {

// Which password of the document settings a keyring entry holds.
enum class PasswordKind { Open, Permission };

// "open" or "permission": the entry's attribute, as `secret-tool lookup` is given it.
QString passwordKindName(PasswordKind kind);

// A place for secrets outside the preferences file. The programs use the desktop's Secret
// Service; tests may use one of their own. A call can take long (the keyring may ask the user to
// unlock it): make it on the keyring thread (runOnKeyringThread), never on the main thread.
class Keyring
{
public:
    struct Reply
    {
        // False when the keyring could not be reached, stayed locked or refused: `reason` says
        // which. Never holds a secret.
        bool answered = false;
        QString secret; // what lookup found; null when there is no entry
        QString reason;
    };

    virtual ~Keyring() = default;

    // Entries are per edition: the two programs never share a password.
    virtual Reply lookup(const QString &edition, PasswordKind kind) = 0;
    // An empty secret removes the entry.
    virtual Reply store(const QString &edition, PasswordKind kind, const QString &secret) = 0;
};

// The keyring of this process, chosen once by each program at start-up. Without one (the
// command line, tests that do not choose one), passwords stay in the private preferences file.
void setKeyring(std::shared_ptr<Keyring> keyring);
std::shared_ptr<Keyring> keyring();

// The desktop's Secret Service, reached through libsecret.
std::shared_ptr<Keyring> secretServiceKeyring();

// Runs jobs one after another, in order, on a thread that lives as long as the process: a job
// waiting for an unlock prompt never holds up the window, nor quitting.
void runOnKeyringThread(std::function<void()> job);

} // namespace folioset
