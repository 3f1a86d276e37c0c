#include "passwordkeeper.h"
#include "settings.h"

#include "platform/edition.h"
#include "platform/preferences.h"
#include "platform/systemlog.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>

namespace folioset {

namespace {

const QString &openKey = PDFSettings::openPasswordKey;
const QString &permissionKey = PDFSettings::permissionPasswordKey;

std::atomic<int> patienceMs{2000};

// Said once for each keyring a process uses, however often it fails.
bool firstFailureOf(const std::shared_ptr<Keyring> &keyring)
{
    static std::mutex lock;
    static std::weak_ptr<Keyring> reported;
    const std::lock_guard<std::mutex> hold(lock);
    if (!reported.owner_before(keyring) && !keyring.owner_before(reported))
        return false;
    reported = keyring;
    return true;
}

void blankPasswords(QVariantMap &pdfMap)
{
    pdfMap.insert(openKey, QStringLiteral(""));
    pdfMap.insert(permissionKey, QStringLiteral(""));
}

} // namespace

const QString PasswordKeeper::storedKey = QStringLiteral("PASSWORDSINKEYRING");

int PasswordKeeper::patience()
{
    return patienceMs;
}

void PasswordKeeper::setPatience(int milliseconds)
{
    patienceMs = milliseconds;
}

PasswordKeeper::PasswordKeeper(PDFSettings &pdf, QObject *parent)
    : QObject(parent), m_pdf(pdf), m_keyring(keyring()), m_edition(editionName())
{
    m_poll.setInterval(50);
    connect(&m_poll, &QTimer::timeout, this, &PasswordKeeper::poll);
}

// Answers still on their way are dropped with their futures; the keyring thread finishes the
// calls on its own.
PasswordKeeper::~PasswordKeeper() = default;

PasswordKeeper::Pair PasswordKeeper::current() const
{
    return {stored::emptyIfAbsent(m_pdf.pdfOpenPassword()),
            stored::emptyIfAbsent(m_pdf.pdfPermissionPassword())};
}

void PasswordKeeper::load(const QVariant &inKeyring)
{
    if (!m_keyring || !stored::toBool(inKeyring) || !current().isEmpty())
        return;
    m_unread = true;
    const QString edition = m_edition;
    const int generation = m_generation;
    ask(
        [edition](Keyring &keyring) {
            Outcome outcome;
            const Keyring::Reply open = keyring.lookup(edition, PasswordKind::Open);
            const Keyring::Reply permission =
                open.answered ? keyring.lookup(edition, PasswordKind::Permission) : open;
            outcome.answered = open.answered && permission.answered;
            outcome.reason = open.answered ? permission.reason : open.reason;
            outcome.found = {stored::emptyIfAbsent(open.secret),
                             stored::emptyIfAbsent(permission.secret)};
            return outcome;
        },
        [this, generation](const Outcome &outcome, bool late) {
            takeLoaded(outcome, generation, late);
        });
}

bool PasswordKeeper::prepareSave(QVariantMap &pdfMap)
{
    if (!m_keyring)
        return false;
    const Pair pair = current();
    if ((m_inKeyring && pair == m_kept) || (m_unread && pair.isEmpty())) {
        // The keyring holds them already, or holds what it has not yet told: both stay there.
        blankPasswords(pdfMap);
        return true;
    }
    if (!m_inKeyring && !m_unread && pair.isEmpty())
        return false; // nothing to keep anywhere

    const int generation = ++m_generation;
    const QString edition = m_edition;
    const bool now = ask(
        [edition, pair](Keyring &keyring) {
            Outcome outcome;
            const Keyring::Reply open = keyring.store(edition, PasswordKind::Open, pair.open);
            const Keyring::Reply permission =
                open.answered ? keyring.store(edition, PasswordKind::Permission, pair.permission)
                              : open;
            outcome.answered = open.answered && permission.answered;
            outcome.reason = open.answered ? permission.reason : open.reason;
            return outcome;
        },
        [this, pair, generation](const Outcome &outcome, bool late) {
            takeStored(outcome, pair, generation, late);
        });
    if (!now) {
        // Until the keyring answers, the file keeps them: nothing is lost if it never does.
        m_inKeyring = false;
        m_unread = false;
        return false;
    }
    if (!m_inKeyring)
        return false;
    blankPasswords(pdfMap);
    return true;
}

bool PasswordKeeper::ask(std::function<Outcome(Keyring &)> work,
                         std::function<void(const Outcome &, bool late)> take)
{
    auto promise = std::make_shared<std::promise<Outcome>>();
    std::shared_future<Outcome> answer = promise->get_future().share();
    runOnKeyringThread([keyring = m_keyring, promise, work = std::move(work)] {
        try {
            promise->set_value(work(*keyring));
        } catch (const std::exception &e) {
            Outcome failed;
            failed.reason = QString::fromUtf8(e.what());
            promise->set_value(failed);
        }
    });
    // Calls run in order: behind one that is still waiting, a new one would only wait too.
    const auto wait = m_late.empty() ? std::chrono::milliseconds(patienceMs.load())
                                     : std::chrono::milliseconds(0);
    if (answer.wait_for(wait) == std::future_status::ready) {
        take(answer.get(), false);
        return true;
    }
    m_late.push_back({answer, std::move(take)});
    m_poll.start();
    return false;
}

void PasswordKeeper::poll()
{
    // Answers are taken in the order they were asked for; the keyring thread gives them so.
    while (!m_late.empty() &&
           m_late.front().answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        const Late done = m_late.front();
        m_late.erase(m_late.begin());
        done.take(done.answer.get(), true);
    }
    if (m_late.empty())
        m_poll.stop();
}

void PasswordKeeper::takeLoaded(const Outcome &outcome, int generation, bool late)
{
    if (!outcome.answered) {
        noteUnavailable(outcome.reason, true);
        return;
    }
    // Passwords saved since the load was asked for are newer than what it found.
    if (generation != m_generation || !current().isEmpty())
        return;
    m_pdf.setPdfOpenPassword(outcome.found.open);
    m_pdf.setPdfPermissionPassword(outcome.found.permission);
    m_unread = false;
    m_inKeyring = !outcome.found.isEmpty();
    m_kept = outcome.found;
    if (late && m_inKeyring)
        emit passwordsArrived();
}

void PasswordKeeper::takeStored(const Outcome &outcome, const Pair &pair, int generation, bool late)
{
    if (generation != m_generation)
        return; // a newer store follows it
    if (!outcome.answered) {
        noteUnavailable(outcome.reason, false);
        m_inKeyring = false;
        return;
    }
    m_unread = false;
    // Removing both entries leaves nothing in the keyring worth asking for at the next start.
    m_inKeyring = !pair.isEmpty();
    m_kept = pair;
    if (late && m_inKeyring && current() == pair)
        removeFromFile(pair);
}

void PasswordKeeper::removeFromFile(const Pair &pair)
{
    Preferences preferences;
    QVariantMap settings = preferences.value(Settings::settingsKey).toMap();
    QVariantMap pdfMap = settings.value(Settings::pdfSettingsKey).toMap();
    // Only what the keyring now holds leaves the file; anything written since stays.
    if (stored::toText(pdfMap.value(openKey)) != pair.open ||
        stored::toText(pdfMap.value(permissionKey)) != pair.permission)
        return;
    blankPasswords(pdfMap);
    settings.insert(Settings::pdfSettingsKey, pdfMap);
    QString reason;
    if (!preferences.setValues({{Settings::settingsKey, settings}, {storedKey, true}}, &reason))
        logError(QStringLiteral("Settings=>synchronize"), reason);
}

void PasswordKeeper::noteUnavailable(const QString &reason, bool reading)
{
    if (!firstFailureOf(m_keyring))
        return;
    systemLog(reading ? QStringLiteral("The desktop keyring did not give the PDF passwords (%1): "
                                       "they stay there, and the PDF settings show none until "
                                       "it does")
                            .arg(reason)
                      : QStringLiteral("The desktop keyring did not take the PDF passwords (%1): "
                                       "they are kept in the private preferences file")
                            .arg(reason));
}

} // namespace folioset
