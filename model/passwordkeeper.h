#pragma once

#include "pdfsettings.h"

#include "platform/keyring.h"

#include <QObject>
#include <QTimer>
#include <QVariant>

#include <functional>
#include <future>
#include <memory>
#include <vector>

namespace folioset {

// Keeps the passwords of the stored PDF settings in the desktop keyring and out of the
// preferences file. Where no keyring answers (none chosen, no Secret Service, a locked keyring
// the user does not open), they stay in the private preferences file as they always did, and
// the log says so once. The window waits for the keyring a moment at most; an answer that comes
// later is taken when it comes.
class PasswordKeeper : public QObject
{
    Q_OBJECT

public:
    // The stored flag, beside "SETTINGS", that says its passwords are in the keyring.
    static const QString storedKey;

    // How long a load or a save waits for the keyring before going on without it.
    static int patience();
    static void setPatience(int milliseconds);

    // Works on the passwords of `pdf`, which outlives it; the keyring and the edition are the
    // process's, as they are when it is made.
    explicit PasswordKeeper(PDFSettings &pdf, QObject *parent = nullptr);
    ~PasswordKeeper() override;

    // After the stored entry was read into the PDF settings, with the value of storedKey.
    // Passwords in the entry itself win: an earlier version, or a session without a keyring,
    // wrote them. Otherwise, where the flag says so, the keyring is asked for them.
    void load(const QVariant &inKeyring);

    // Before a save: puts the passwords into the keyring unless it holds them already, and takes
    // them out of `pdfMap` (the stored "pdfSettings" map) when it does. Returns the value of
    // storedKey to write with it.
    bool prepareSave(QVariantMap &pdfMap);

signals:
    // A late answer from the keyring filled in the passwords.
    void passwordsArrived();

private:
    struct Pair
    {
        QString open;
        QString permission;
        bool operator==(const Pair &other) const
        {
            return open == other.open && permission == other.permission;
        }
        bool isEmpty() const { return open.isEmpty() && permission.isEmpty(); }
    };
    struct Outcome
    {
        bool answered = false;
        QString reason;
        Pair found;
    };
    struct Late
    {
        std::shared_future<Outcome> answer;
        std::function<void(const Outcome &, bool late)> take;
    };

    Pair current() const;
    // Runs `work` on the keyring thread; `take` gets its outcome now if it comes within the
    // patience, or later from the poll (`late`). Returns whether it came now.
    bool ask(std::function<Outcome(Keyring &)> work,
             std::function<void(const Outcome &, bool late)> take);
    void poll();
    void takeLoaded(const Outcome &outcome, int generation, bool late);
    void takeStored(const Outcome &outcome, const Pair &pair, int generation, bool late);
    // A store that finished after the file was written with the passwords: they leave it now.
    void removeFromFile(const Pair &pair);
    void noteUnavailable(const QString &reason, bool reading);

    PDFSettings &m_pdf;
    std::shared_ptr<Keyring> m_keyring;
    QString m_edition;
    bool m_inKeyring = false; // the keyring holds m_kept, and the file holds no passwords
    Pair m_kept;
    bool m_unread = false; // the file says the keyring holds them, but it has not answered
    int m_generation = 0;  // counts stores asked for: an older answer never overrides a newer
    std::vector<Late> m_late;
    QTimer m_poll;
};

} // namespace folioset
