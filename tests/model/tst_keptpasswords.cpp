// Where the PDF passwords of the stored settings are kept: in a keyring when one answers, in the
// private preferences file when none does, and never lost on the way between them.

#include "model/passwordkeeper.h"
#include "model/settings.h"
#include "platform/edition.h"
#include "platform/keyring.h"
#include "platform/preferences.h"
#include "support/storedpreferences.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <condition_variable>
#include <map>
#include <mutex>

using namespace folioset;
using fixtures::preferencesText;
using fixtures::storedPdfSettings;

namespace {

// A keyring in memory that can be made unreachable, or made to wait as one does while its
// unlock prompt is open.
class MemoryKeyring : public Keyring
{
public:
    Reply lookup(const QString &edition, PasswordKind kind) override
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_wake.wait(hold, [this] { return m_open; });
        Reply reply = answer();
        if (reply.answered) {
            const auto found = m_entries.find(name(edition, kind));
            if (found != m_entries.end())
                reply.secret = found->second;
        }
        return reply;
    }
    Reply store(const QString &edition, PasswordKind kind, const QString &secret) override
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_wake.wait(hold, [this] { return m_open; });
        Reply reply = answer();
        if (reply.answered) {
            ++m_stores;
            if (secret.isEmpty())
                m_entries.erase(name(edition, kind));
            else
                m_entries[name(edition, kind)] = secret;
        }
        return reply;
    }

    // "folioset2/open" and so on, each with its secret.
    std::map<QString, QString> entries()
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        return m_entries;
    }
    int stores()
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        return m_stores;
    }
    void setReachable(bool reachable)
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_reachable = reachable;
    }
    void setWaiting(bool waiting)
    {
        {
            const std::lock_guard<std::mutex> hold(m_lock);
            m_open = !waiting;
        }
        m_wake.notify_all();
    }

private:
    static QString name(const QString &edition, PasswordKind kind)
    {
        return edition + QLatin1Char('/') + passwordKindName(kind);
    }
    Reply answer() const
    {
        Reply reply;
        reply.answered = m_reachable;
        if (!m_reachable)
            reply.reason = QStringLiteral("No Secret Service answered");
        return reply;
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_open = true;
    bool m_reachable = true;
    int m_stores = 0;
    std::map<QString, QString> m_entries;
};

QStringList logged;

void catchLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    logged << message;
}

bool inKeyringFlag()
{
    return stored::toBool(Preferences().value(PasswordKeeper::storedKey));
}

void setPasswords(Settings &settings, const QString &open, const QString &permission)
{
    settings.pdfSettings()->setPdfOpenPassword(open);
    settings.pdfSettings()->setPdfPermissionPassword(permission);
}

const QString openSecret = QStringLiteral("open-Sesame-7");
const QString permissionSecret = QStringLiteral("perm-wörd-9");

} // namespace

class TestKeptPasswords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        qInstallMessageHandler(catchLog);
    }

    void init()
    {
        setEdition(Edition::Folioset2);
        QFile::remove(Preferences().fileName());
        m_keyring = std::make_shared<MemoryKeyring>();
        setKeyring(m_keyring);
        PasswordKeeper::setPatience(2000);
        logged.clear();
    }

    void cleanup()
    {
        // Calls wait in order on one thread: none may be left waiting for the next test.
        m_keyring->setWaiting(false);
        setKeyring(nullptr);
    }

    void passwordsLiveInTheKeyringOfTheirEdition()
    {
        {
            Settings settings;
            setPasswords(settings, openSecret, permissionSecret);
            settings.synchronize();
        }
        const std::map<QString, QString> entries = m_keyring->entries();
        QCOMPARE(entries.at(QStringLiteral("folioset2/open")), openSecret);
        QCOMPARE(entries.at(QStringLiteral("folioset2/permission")), permissionSecret);
        const QByteArray text = preferencesText();
        QVERIFY(!text.contains(openSecret.toUtf8()));
        QVERIFY(!text.contains(permissionSecret.toUtf8()));
        QVERIFY(inKeyringFlag());
        QCOMPARE(storedPdfSettings().size(), 10);

        const Settings back;
        QCOMPARE(back.pdfSettings()->pdfOpenPassword(), openSecret);
        QCOMPARE(back.pdfSettings()->pdfPermissionPassword(), permissionSecret);

        // The first-generation program keeps entries of its own.
        setEdition(Edition::Folioset1);
        QFile::remove(Preferences().fileName());
        Settings first;
        QCOMPARE(first.pdfSettings()->pdfOpenPassword(), QString());
        setPasswords(first, QStringLiteral("other"), QString());
        first.synchronize();
        QCOMPARE(m_keyring->entries().at(QStringLiteral("folioset1/open")),
                 QStringLiteral("other"));
        QCOMPARE(m_keyring->entries().at(QStringLiteral("folioset2/open")), openSecret);
        QVERIFY(!m_keyring->entries().count(QStringLiteral("folioset1/permission")));
        QVERIFY(logged.isEmpty());
    }

    void savesThatChangeNoPasswordLeaveTheKeyringAlone()
    {
        Settings settings;
        settings.synchronize(); // none set: nothing to keep anywhere
        QCOMPARE(m_keyring->stores(), 0);
        setPasswords(settings, openSecret, QString());
        settings.synchronize();
        QCOMPARE(m_keyring->stores(), 2);
        settings.setCombineOptionIndex(1);
        settings.synchronize();
        QCOMPARE(m_keyring->stores(), 2);

        // Clearing them removes the entries; the next start asks the keyring for nothing.
        setPasswords(settings, QString(), QString());
        settings.synchronize();
        QVERIFY(m_keyring->entries().empty());
        QVERIFY(!inKeyringFlag());
    }

    void plainPasswordsAreMovedAtTheNextSave_data()
    {
        QTest::addColumn<QVariant>("flag");
        // Written by an earlier version, or by a session that had no keyring.
        QTest::newRow("earlier version") << QVariant();
        QTest::newRow("session without a keyring") << QVariant(false);
        // An earlier version wrote them after we had moved the old ones away: they are newer.
        QTest::newRow("earlier version after us") << QVariant(true);
    }
    void plainPasswordsAreMovedAtTheNextSave()
    {
        QFETCH(QVariant, flag);
        m_keyring->store(editionName(), PasswordKind::Open, QStringLiteral("older"));
        Settings earlier(Settings::Source::Defaults);
        setPasswords(earlier, openSecret, permissionSecret);
        QVariantMap entries{{QStringLiteral("SETTINGS"), earlier.getData()}};
        if (flag.isValid())
            entries.insert(PasswordKeeper::storedKey, flag);
        QVERIFY(Preferences().setValues(entries));

        Settings settings;
        QCOMPARE(settings.pdfSettings()->pdfOpenPassword(), openSecret);
        QCOMPARE(settings.pdfSettings()->pdfPermissionPassword(), permissionSecret);
        QVERIFY(preferencesText().contains(openSecret.toUtf8())); // read, not yet moved
        settings.synchronize();
        QVERIFY(!preferencesText().contains(openSecret.toUtf8()));
        QVERIFY(!preferencesText().contains(permissionSecret.toUtf8()));
        QCOMPARE(m_keyring->entries().at(QStringLiteral("folioset2/open")), openSecret);
        QCOMPARE(Settings().pdfSettings()->pdfPermissionPassword(), permissionSecret);
    }

    void withoutAKeyringTheFileKeepsThem_data()
    {
        QTest::addColumn<bool>("chosen"); // false: the program chose none, as the command line
        QTest::newRow("none chosen") << false;
        QTest::newRow("keyring unreachable") << true;
    }
    void withoutAKeyringTheFileKeepsThem()
    {
        QFETCH(bool, chosen);
        if (chosen)
            m_keyring->setReachable(false);
        else
            setKeyring(nullptr);
        {
            Settings settings;
            setPasswords(settings, openSecret, permissionSecret);
            settings.synchronize();
            setPasswords(settings, openSecret, QStringLiteral("changed"));
            settings.synchronize();
        }
        QCOMPARE(storedPdfSettings().value(QStringLiteral("pdfOpenPassword")).toString(),
                 openSecret);
        QVERIFY(!inKeyringFlag());
        QVERIFY((QFile::permissions(Preferences().fileName()) &
                 (QFile::ReadGroup | QFile::ReadOther)) == 0);
        const Settings back;
        QCOMPARE(back.pdfSettings()->pdfPermissionPassword(), QStringLiteral("changed"));
        // Said once, and without a secret in it.
        QCOMPARE(logged.size(), chosen ? 1 : 0);
        if (chosen) {
            QVERIFY(logged.first().contains(QLatin1String("No Secret Service answered")));
            QVERIFY(!logged.first().contains(openSecret));
        }

        // When the keyring answers again, the next save moves them.
        m_keyring->setReachable(true);
        setKeyring(m_keyring);
        Settings later;
        later.synchronize();
        QCOMPARE(m_keyring->entries().at(QStringLiteral("folioset2/permission")),
                 QStringLiteral("changed"));
        QVERIFY(!preferencesText().contains(openSecret.toUtf8()));
    }

    void aKeyringThatDoesNotGiveThemLosesNothing()
    {
        {
            Settings settings;
            setPasswords(settings, openSecret, permissionSecret);
            settings.synchronize();
        }
        // Locked, and the user declines to open it: the window shows no passwords, and saving
        // other changes keeps the keyring's entries and the flag that points there.
        m_keyring->setReachable(false);
        {
            Settings locked;
            QCOMPARE(locked.pdfSettings()->pdfOpenPassword(), QString());
            locked.setCombineOptionIndex(2);
            locked.synchronize();
        }
        QCOMPARE(logged.size(), 1);
        QVERIFY(inKeyringFlag());
        m_keyring->setReachable(true);
        const Settings opened;
        QCOMPARE(opened.combineOptionIndex(), 2);
        QCOMPARE(opened.pdfSettings()->pdfOpenPassword(), openSecret);
        QCOMPARE(opened.pdfSettings()->pdfPermissionPassword(), permissionSecret);
    }

    void aWaitingKeyringHoldsNothingUp()
    {
        PasswordKeeper::setPatience(100);
        {
            Settings settings;
            setPasswords(settings, openSecret, QString());
            settings.synchronize();
        }
        // Its unlock prompt is open: the settings load without the passwords, and they arrive
        // when it answers.
        m_keyring->setWaiting(true);
        QElapsedTimer waited;
        waited.start();
        Settings settings;
        QSignalSpy arrived(&settings, &Settings::passwordsArrived);
        QCOMPARE(settings.pdfSettings()->pdfOpenPassword(), QString());
        settings.synchronize();
        QVERIFY(inKeyringFlag());
        QVERIFY2(waited.elapsed() < 10000, "the keyring held the settings up");
        m_keyring->setWaiting(false);
        QTRY_COMPARE(arrived.size(), 1);
        QCOMPARE(settings.pdfSettings()->pdfOpenPassword(), openSecret);

        // A new password while it waits again: the file keeps it until the keyring has it.
        m_keyring->setWaiting(true);
        setPasswords(settings, QStringLiteral("newer"), QString());
        settings.synchronize();
        QCOMPARE(storedPdfSettings().value(QStringLiteral("pdfOpenPassword")).toString(),
                 QStringLiteral("newer"));
        QVERIFY(!inKeyringFlag());
        m_keyring->setWaiting(false);
        QTRY_VERIFY(inKeyringFlag());
        QVERIFY(!preferencesText().contains("newer"));
        QCOMPARE(m_keyring->entries().at(QStringLiteral("folioset2/open")),
                 QStringLiteral("newer"));
        QCOMPARE(Settings().pdfSettings()->pdfOpenPassword(), QStringLiteral("newer"));
        QVERIFY(logged.isEmpty());
    }

    void passwordsSavedWhileTheLoadWaitsWin()
    {
        PasswordKeeper::setPatience(100);
        {
            Settings settings;
            setPasswords(settings, openSecret, QString());
            settings.synchronize();
        }
        m_keyring->setWaiting(true);
        Settings settings;
        QSignalSpy arrived(&settings, &Settings::passwordsArrived);
        setPasswords(settings, QStringLiteral("typed meanwhile"), QString());
        settings.synchronize();
        m_keyring->setWaiting(false);
        QTRY_VERIFY(inKeyringFlag());
        QCOMPARE(arrived.size(), 0);
        QCOMPARE(settings.pdfSettings()->pdfOpenPassword(), QStringLiteral("typed meanwhile"));
        QCOMPARE(Settings().pdfSettings()->pdfOpenPassword(), QStringLiteral("typed meanwhile"));
    }

private:
    std::shared_ptr<MemoryKeyring> m_keyring;
};

QTEST_GUILESS_MAIN(TestKeptPasswords)
#include "tst_keptpasswords.moc"
