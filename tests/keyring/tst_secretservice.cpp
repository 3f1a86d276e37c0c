// The PDF passwords and a real Secret Service: gnome-keyring in a D-Bus session of the test's
// own (withsecretservice.sh private), or no Secret Service at all (withsecretservice.sh none).
// The window is driven as a user drives it; what the keyring holds is asked of secret-tool.

#include "app/foliosetappdelegate.h"
#include "filelist/filelistmodel.h"
#include "model/passwordkeeper.h"
#include "model/settings.h"
#include "platform/edition.h"
#include "platform/keyring.h"
#include "platform/preferences.h"
#include "platform/workspace.h"
#include "support/fixtures.h"
#include "support/storedpreferences.h"
#include "widgets/segmentedcontrol.h"

#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace folioset;
using fixtures::preferencesText;
using fixtures::storedPdfSettings;

namespace {

QStringList logged;

void catchLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    logged << message;
}

struct Lookup
{
    bool found = false;
    QByteArray secret;
};

// secret-tool, as a user would ask the keyring; it reads a secret to store from standard input,
// never from its command line.
Lookup secretTool(const QString &edition, const QString &which)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), {QStringLiteral("lookup"), QStringLiteral("edition"),
                                               edition, QStringLiteral("password"), which});
    Lookup lookup;
    if (!tool.waitForFinished(30000))
        return lookup;
    lookup.found = tool.exitCode() == 0;
    lookup.secret = tool.readAllStandardOutput();
    return lookup;
}

bool loggedAny(const QString &text)
{
    for (const QString &line : logged)
        if (line.contains(text))
            return true;
    return false;
}

} // namespace

class TestSecretService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void entriesAreFoundByEditionAndPassword();
    void aPasswordSetInTheWindowLivesInTheKeyring();
    void plainPasswordsOfAnEarlierVersionMoveToTheKeyring();
    void withoutASecretServiceTheFileKeepsThem();
    void aLockedKeyringThatStaysShutLosesNothing();

private:
    template <typename T> T *element(const char *name) const
    {
        T *found = m_controller->window()->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no element %s", name);
        return found;
    }
    void start();
    void quit();
    void setOpenPasswordInTheSheet(const QString &password);
    // Converts one image into its own PDF with the document settings applied.
    QString convertOne();

    QString m_mode;
    QTemporaryDir m_inputs;
    std::unique_ptr<QTemporaryDir> m_out;
    RecordingWorkspace m_workspace;
    std::unique_ptr<FoliosetAppDelegate> m_controller;
};

void TestSecretService::initTestCase()
{
    m_mode = qEnvironmentVariable("FOLIOSET_SECRET_SERVICE");
    if (m_mode.isEmpty())
        QSKIP("Runs only through withsecretservice.sh, which starts a Secret Service of its "
              "own: never against the user's keyring");
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("folioset2"));
    qInstallMessageHandler(catchLog);
    QVERIFY(fixtures::writeJpeg(m_inputs.filePath(QStringLiteral("photo.jpg")), QSize(64, 48), 1));
}

void TestSecretService::init()
{
    setEdition(Edition::Folioset2);
    QFile::remove(Preferences().fileName());
    m_out = std::make_unique<QTemporaryDir>();
    // A fresh keyring object each time: each test may see its one line about a failing keyring.
    setKeyring(secretServiceKeyring());
    logged.clear();
}

void TestSecretService::cleanup()
{
    m_controller.reset();
    setKeyring(nullptr);
}

void TestSecretService::start()
{
    m_controller = std::make_unique<FoliosetAppDelegate>(m_workspace);
    m_controller->awakeFromNib();
    QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
}

void TestSecretService::quit()
{
    m_controller->applicationShouldTerminate();
    m_controller.reset();
}

void TestSecretService::setOpenPasswordInTheSheet(const QString &password)
{
    element<QPushButton>("pdfSetingsbtn")->click();
    QTRY_VERIFY(m_controller->pdfSettingsPanel()->isVisible());
    element<SegmentedControl>("pdfSettingsSegmented")->click(1);
    auto *field = element<QLineEdit>("openPasswordField");
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, password);
    element<QPushButton>("applyPDFSettingsBtn")->click();
    QVERIFY(!m_controller->pdfSettingsPanel()->isVisible());
}

QString TestSecretService::convertOne()
{
    Settings &settings = m_controller->settings();
    settings.setOutputFolderPath(m_out->path());
    settings.setIsApplyDocumentSetings(true);
    settings.setIsOpenFolderAfterConversion(false);
    m_controller->files().append({FileItem::initWithURL(
        QUrl::fromLocalFile(m_inputs.filePath(QStringLiteral("photo.jpg"))))});
    QSignalSpy completed(m_controller.get(), &FoliosetAppDelegate::processCompleted);
    element<SegmentedControl>("commandSegmented")->click(1);
    if (!completed.wait(60000))
        return {};
    return m_out->filePath(QStringLiteral("photo.pdf"));
}

void TestSecretService::entriesAreFoundByEditionAndPassword()
{
    if (m_mode != QLatin1String("private"))
        QSKIP("needs withsecretservice.sh private");
    const std::shared_ptr<Keyring> keyring = folioset::keyring();
    QVERIFY(keyring->store(QStringLiteral("folioset2"), PasswordKind::Open, QStringLiteral("two ✓"))
                .answered);
    QVERIFY(keyring->store(QStringLiteral("folioset1"), PasswordKind::Open, QStringLiteral("one"))
                .answered);
    QCOMPARE(secretTool(QStringLiteral("folioset2"), QStringLiteral("open")).secret,
             QStringLiteral("two ✓").toUtf8());
    QCOMPARE(secretTool(QStringLiteral("folioset1"), QStringLiteral("open")).secret,
             QByteArray("one"));
    QVERIFY(!secretTool(QStringLiteral("folioset2"), QStringLiteral("permission")).found);
    const Keyring::Reply back = keyring->lookup(QStringLiteral("folioset2"), PasswordKind::Open);
    QVERIFY(back.answered);
    QCOMPARE(back.secret, QStringLiteral("two ✓"));

    // An empty secret removes the entry: nothing is left to find.
    QVERIFY(keyring->store(QStringLiteral("folioset2"), PasswordKind::Open, QString()).answered);
    QVERIFY(!secretTool(QStringLiteral("folioset2"), QStringLiteral("open")).found);
    const Keyring::Reply gone = keyring->lookup(QStringLiteral("folioset2"), PasswordKind::Open);
    QVERIFY(gone.answered);
    QVERIFY(gone.secret.isNull());
    QVERIFY(keyring->store(QStringLiteral("folioset1"), PasswordKind::Open, QString()).answered);
}

void TestSecretService::aPasswordSetInTheWindowLivesInTheKeyring()
{
    if (m_mode != QLatin1String("private"))
        QSKIP("needs withsecretservice.sh private");
    const QString password = QStringLiteral("Keyring-Only-4711");
    start(); // a new installation
    setOpenPasswordInTheSheet(password);
    QCOMPARE(secretTool(QStringLiteral("folioset2"), QStringLiteral("open")).secret,
             password.toUtf8());
    QVERIFY(!preferencesText().contains(password.toUtf8()));
    QCOMPARE(storedPdfSettings().value(QStringLiteral("pdfOpenPassword")).toString(), QString());
    quit();
    QVERIFY(!preferencesText().contains(password.toUtf8()));

    start();
    QCOMPARE(m_controller->settings().pdfSettings()->pdfOpenPassword(), password);
    const QString pdf = convertOne();
    QVERIFY(!pdf.isEmpty());
    QCOMPARE(fixtures::pdfEncryptionRevision(pdf), -1);
    QCOMPARE(fixtures::pdfEncryptionRevision(pdf, password), 6); // AES-256, a new installation's
    QVERIFY(fixtures::popplerEncryption(pdf, password).endsWith(QLatin1String("AES-256)")));
    quit();
    // With nothing withheld, the run also made it the permission password: the keyring has both.
    QCOMPARE(secretTool(QStringLiteral("folioset2"), QStringLiteral("permission")).secret,
             password.toUtf8());
    QVERIFY(!preferencesText().contains(password.toUtf8()));
    QVERIFY(!loggedAny(password));
    QVERIFY(!loggedAny(QStringLiteral("keyring")));
}

void TestSecretService::plainPasswordsOfAnEarlierVersionMoveToTheKeyring()
{
    if (m_mode != QLatin1String("private"))
        QSKIP("needs withsecretservice.sh private");
    Settings earlier(Settings::Source::Defaults);
    earlier.pdfSettings()->setPdfOpenPassword(QStringLiteral("Plain-Open-1"));
    earlier.pdfSettings()->setPdfPermissionPassword(QStringLiteral("Plain-Perm-2"));
    QVERIFY(Preferences().setValue(QStringLiteral("SETTINGS"), earlier.getData()));

    start();
    QCOMPARE(m_controller->settings().pdfSettings()->pdfOpenPassword(),
             QStringLiteral("Plain-Open-1"));
    quit();
    QVERIFY(!preferencesText().contains("Plain-Open-1"));
    QVERIFY(!preferencesText().contains("Plain-Perm-2"));
    QCOMPARE(secretTool(QStringLiteral("folioset2"), QStringLiteral("open")).secret,
             QByteArray("Plain-Open-1"));
    QCOMPARE(secretTool(QStringLiteral("folioset2"), QStringLiteral("permission")).secret,
             QByteArray("Plain-Perm-2"));

    start();
    QCOMPARE(m_controller->settings().pdfSettings()->pdfPermissionPassword(),
             QStringLiteral("Plain-Perm-2"));
    // A settings file of an earlier version keeps its key: 40 bits, which opens too.
    const QString pdf = convertOne();
    QCOMPARE(fixtures::pdfEncryptionRevision(pdf, QStringLiteral("Plain-Open-1")), 2);
    QVERIFY(fixtures::popplerEncryption(pdf, QStringLiteral("Plain-Open-1"))
                .endsWith(QLatin1String("RC4)")));
}

void TestSecretService::withoutASecretServiceTheFileKeepsThem()
{
    if (m_mode != QLatin1String("none"))
        QSKIP("needs withsecretservice.sh none");
    const QString password = QStringLiteral("File-Kept-0815");
    start();
    setOpenPasswordInTheSheet(password);
    QCOMPARE(storedPdfSettings().value(QStringLiteral("pdfOpenPassword")).toString(), password);
    QVERIFY(!stored::toBool(Preferences().value(PasswordKeeper::storedKey)));
    QVERIFY((QFile::permissions(Preferences().fileName()) &
             (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther)) == 0);
    quit();

    start();
    QCOMPARE(m_controller->settings().pdfSettings()->pdfOpenPassword(), password);
    const QString pdf = convertOne();
    QCOMPARE(fixtures::pdfEncryptionRevision(pdf), -1);
    QCOMPARE(fixtures::pdfEncryptionRevision(pdf, password), 6);
    quit();
    // Said once, whatever the number of saves, and without the password.
    int lines = 0;
    for (const QString &line : logged)
        lines += line.contains(QLatin1String("keyring")) ? 1 : 0;
    QCOMPARE(lines, 1);
    QVERIFY(!loggedAny(password));
}

void TestSecretService::aLockedKeyringThatStaysShutLosesNothing()
{
    if (m_mode != QLatin1String("private"))
        QSKIP("needs withsecretservice.sh private");
    {
        Settings settings;
        settings.pdfSettings()->setPdfOpenPassword(QStringLiteral("Before-Lock-3"));
        settings.synchronize();
    }
    QVERIFY(secretTool(QStringLiteral("folioset2"), QStringLiteral("open")).found);
    QDBusInterface service(
        QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.freedesktop.Secret.Service"), QDBusConnection::sessionBus());
    const QDBusMessage locked = service.call(
        QStringLiteral("Lock"), QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(
                                    QStringLiteral("/org/freedesktop/secrets/collection/login"))}));
    QVERIFY2(locked.type() == QDBusMessage::ReplyMessage, qPrintable(locked.errorMessage()));
    // Nobody can answer its unlock prompt here: it stays shut.
    QVERIFY(!secretTool(QStringLiteral("folioset2"), QStringLiteral("open")).found);

    start();
    QCOMPARE(m_controller->settings().pdfSettings()->pdfOpenPassword(), QString());
    m_controller->settings().setCombineOptionIndex(2);
    m_controller->settings().synchronize();
    // The keyring still holds it, and the file still says so.
    QVERIFY(stored::toBool(Preferences().value(PasswordKeeper::storedKey)));

    // A password set now has nowhere to go but the private file.
    setOpenPasswordInTheSheet(QStringLiteral("While-Locked-5"));
    QCOMPARE(storedPdfSettings().value(QStringLiteral("pdfOpenPassword")).toString(),
             QStringLiteral("While-Locked-5"));
    quit();
    start();
    QCOMPARE(m_controller->settings().pdfSettings()->pdfOpenPassword(),
             QStringLiteral("While-Locked-5"));
    QCOMPARE(m_controller->settings().combineOptionIndex(), 2);
    QVERIFY(!loggedAny(QStringLiteral("Before-Lock-3")));
    QVERIFY(!loggedAny(QStringLiteral("While-Locked-5")));
    QVERIFY(loggedAny(QStringLiteral("keyring")));
}

QTEST_MAIN(TestSecretService)
#include "tst_secretservice.moc"
